// answer_verifier SETUP.exe ANSWER_FILE: judges a published answer file exactly as setup.exe
// judges a response body, with the shipped answer key. Exit 0 verified, 1 not, 2 bad usage.
#include <cstdio>
#include <exception>
#include <string>

#include "support/temp_dir.h"
#include "verification/ShareCodeCheckunit.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: answer_verifier SETUP.exe ANSWER_FILE\n", stderr);
    return 2;
  }
  try {
    qor::TShareCode checker;
    checker.InitKey();
    checker.LoadFingerprintFrom(argv[1]);
    const std::string body = qor::testing::ReadFileBytes(argv[2]);
    if (!checker.JudgeResponse(body)) {
      std::fprintf(stderr, "answer decodes to '%s', fingerprint is %s\n", checker.Answer.c_str(),
                   checker.Fingerprint.c_str());
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "answer_verifier: %s\n", e.what());
    return 2;
  }
}
