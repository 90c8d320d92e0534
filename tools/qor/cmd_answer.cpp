// qor answer SETUP.exe OUTDIR: writes the verification answer for a setup program where the ten
// servers publish it, after proving that the client would accept it.
#include <cstdio>
#include <string>

#include "base/file_system.h"
#include "base/stream.h"
#include "cli.h"
#include "json_output.h"
#include "params/allparam.h"
#include "params/product_settings.h"
#include "verification/QORMD5Unit.h"
#include "verification/answer_publishing.h"

namespace qor::cli {

namespace {

// OUTDIR joined with the relative verification path ('/' between its parts), part by part.
FilePath AnswerFilePath(const FilePath& out_dir, const std::string& relative) {
  FilePath path = out_dir;
  std::size_t start = 0;
  for (std::size_t slash = relative.find('/'); slash != std::string::npos;
       slash = relative.find('/', start)) {
    path = path.Child(relative.substr(start, slash - start));
    start = slash + 1;
  }
  return path.Child(relative.substr(start));
}

int Run(const Args& given) {
  Args args = given;
  const bool json = TakeJsonFlag(args);
  if (args.size() != 2) throw UsageError("expected SETUP.exe and OUTDIR");
  SetProductParameters();
  const TAnswerKey key{settings::kAnswerMultiplier, settings::kAnswerIncrement,
                       settings::kAnswerStartKey};

  const FilePath setup = PathArg(args[0]);
  const std::string fingerprint = FileMD5Hex(setup);
  const std::string answer = PublishAnswer(fingerprint, key);
  const FilePath path = AnswerFilePath(PathArg(args[1]), VerificationPath);
  const bool verifies = AnswerVerifies(answer, fingerprint, key);
  if (verifies) {
    ForceDirectories(path.Directory());
    TFileStream file(path, FileMode::kCreate);
    file.WriteExactly(answer.data(), answer.size());
  } else {
    std::fprintf(stderr,
                 "qor answer: the answer for fingerprint %s would not verify: the client's "
                 "lower-casing, trimming or unescaping changes it under the compiled-in answer "
                 "key %u;%u;%u. Nothing was written; choose another key (QOR_ANSWER_KEY).\n",
                 fingerprint.c_str(), key.Multiplier, key.Increment, key.StartKey);
  }
  if (json) {
    PrintJson({{"setup", setup.Native()},
               {"fingerprint", fingerprint},
               {"answer_file", path.Native()},
               {"answer_bytes", answer.size()},
               {"verified", verifies},
               {"written", verifies}});
  } else if (verifies) {
    std::printf("%s\n  fingerprint %s, answer %zu bytes, verified\n", path.Text().c_str(),
                fingerprint.c_str(), answer.size());
  }
  return verifies ? kExitSuccess : kExitVerdictFailed;
}

}  // namespace

const Command kAnswerCommand = {
    "answer", "write the verification answer of a setup program for the servers",
    "usage: qor answer SETUP.exe OUTDIR [--json]\n"
    "\n"
    "Fingerprints SETUP.exe, enciphers the fingerprint with the compiled-in answer key and writes\n"
    "it to OUTDIR/velmora/QORPG3.0ins.htm (creating the folders), ready to copy onto the ten\n"
    "verification servers. Before writing, the answer is run through the client's own steps\n"
    "(lower-case, trim, unescape, decode); if it would not give the fingerprint back, nothing\n"
    "is written.\n"
    "\n"
    "--json prints one JSON document instead (also for exit 1; none for exit 2):\n"
    "  setup         SETUP.exe as given\n"
    "  fingerprint   its fingerprint, 32 lower-case hex digits\n"
    "  answer_file   the path of the answer file under OUTDIR\n"
    "  answer_bytes  the answer's length in bytes\n"
    "  verified      true when the client's steps give the fingerprint back\n"
    "  written       true when the file was written (exactly when verified)\n"
    "\n"
    "Exit codes: 0 written, 1 the answer would not verify, 2 bad usage or an unreadable file.\n",
    Run};

}  // namespace qor::cli
