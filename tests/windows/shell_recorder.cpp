// Stands in for the web browser in the tests: registered as the handler of http addresses, it
// appends the address it was asked to open, one line each, to the file named by its first
// argument.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::FILE* file = std::fopen(argv[1], "ab");
  if (!file) return 1;
  std::fprintf(file, "%s\n", argv[2]);
  std::fclose(file);
  return 0;
}
