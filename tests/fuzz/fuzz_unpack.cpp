// Feeds arbitrary bytes to the unpacker as a package file and checks that nothing it writes lands
// outside the target directory. The target sits two levels below a fresh folder, so a name that
// climbs out of it still lands in that folder and is caught here.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "extraction/package.h"

namespace fs = std::filesystem;

namespace {

const fs::path& BaseDir() {
  static const fs::path base = [] {
    fs::path dir = fs::temp_directory_path() / ("qor-fuzz-unpack-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(BaseDir(), ignored);
    });
    return dir;
  }();
  return base;
}

bool IsExpected(const std::string& relative) {
  return relative == "install.dat" || relative == "a" || relative == "a/b" ||
         relative == "a/b/out" || relative.rfind("a/b/out/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path root = BaseDir() / "run";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(root / "a" / "b");
  const fs::path package = root / "install.dat";
  {
    std::ofstream out(package, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  qor::UnpackPackageFile(package.string(), (root / "a" / "b" / "out").string());

  for (const auto& item : fs::recursive_directory_iterator(BaseDir())) {
    const std::string relative = item.path().lexically_relative(root).generic_string();
    if (item.path() == root || IsExpected(relative)) continue;
    std::fprintf(stderr, "the unpacker wrote outside its target: %s\n", item.path().c_str());
    std::abort();
  }
  return 0;
}
