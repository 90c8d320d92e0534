// Throughput of the fingerprint's MD5 against OpenSSL's MD5 and the md5sum tool, on the same data
// in one run, printed as ratios at the end (above 1: ours is faster).
//   md5_bench [--file-mb=N] [benchmark options]
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/stream.h"
#include "bench_support.h"
#include "verification/QORMD5Unit.h"

namespace {

std::string g_file;  // the file every file benchmark hashes
std::int64_t g_file_size = 0;
constexpr std::size_t kMemorySize = 1 << 20;  // the in-memory benchmarks' message
constexpr std::size_t kReadBlock = 65536;     // FileMD5Hex's block size, for OpenSSL's file run

std::string RandomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::mt19937 random(1321);
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

const std::string& MemoryMessage() {
  static const std::string message = RandomBytes(kMemorySize);
  return message;
}

class OpenSslMd5 {
 public:
  OpenSslMd5() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_md5(), nullptr); }
  ~OpenSslMd5() { EVP_MD_CTX_free(context_); }
  void Update(const void* data, std::size_t size) { EVP_DigestUpdate(context_, data, size); }
  qor::TMD5Digest Final() {
    qor::TMD5Digest digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_, digest.data(), &size);
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
};

void MemoryOurs(benchmark::State& state) {
  const std::string& message = MemoryMessage();
  for (auto _ : state) {
    qor::TMD5 hasher;
    hasher.Update(message.data(), message.size());
    benchmark::DoNotOptimize(hasher.Final());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message.size()));
}

void MemoryOpenSsl(benchmark::State& state) {
  const std::string& message = MemoryMessage();
  for (auto _ : state) {
    OpenSslMd5 hasher;
    hasher.Update(message.data(), message.size());
    benchmark::DoNotOptimize(hasher.Final());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message.size()));
}

void FileOurs(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qor::FileMD5Hex(g_file));
  state.SetBytesProcessed(state.iterations() * g_file_size);
}

void FileOpenSsl(benchmark::State& state) {
  std::vector<char> block(kReadBlock);
  for (auto _ : state) {
    qor::TFileStream file(g_file, qor::FileMode::kOpenReadShared);
    OpenSslMd5 hasher;
    while (const std::size_t n = file.Read(block.data(), block.size()))
      hasher.Update(block.data(), n);
    benchmark::DoNotOptimize(hasher.Final());
  }
  state.SetBytesProcessed(state.iterations() * g_file_size);
}

void FileMd5sum(benchmark::State& state) {
  const std::string command = "md5sum '" + g_file + "' >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("md5sum failed");
  }
  state.SetBytesProcessed(state.iterations() * g_file_size);
}

BENCHMARK(MemoryOurs);
BENCHMARK(MemoryOpenSsl);
BENCHMARK(FileOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(FileOpenSsl)->Unit(benchmark::kMillisecond);
BENCHMARK(FileMd5sum)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintRatio(const std::map<std::string, double>& speed, const char* ours, const char* theirs,
                const char* label) {
  const auto a = speed.find(ours);
  const auto b = speed.find(theirs);
  if (a == speed.end() || b == speed.end() || b->second <= 0) return;
  std::printf("%-34s %6.3f  (%.0f vs %.0f MB/s)\n", label, a->second / b->second, a->second / 1e6,
              b->second / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const int file_mb = qor::bench::InitializeWithSizeOption(argc, argv, "--file-mb=", 64);

  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("qor-md5-bench-" + std::to_string(::getpid()));
  g_file = path.string();
  {
    const std::string chunk = RandomBytes(1 << 20);
    qor::TFileStream file(g_file, qor::FileMode::kCreate);
    for (int i = 0; i < file_mb; ++i) file.WriteExactly(chunk.data(), chunk.size());
    g_file_size = static_cast<std::int64_t>(file_mb) << 20;
  }

  qor::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::filesystem::remove(path);

  std::printf("\nthroughput ratio, ours / theirs (above 1: ours is faster)\n");
  PrintRatio(reporter.speed, "MemoryOurs", "MemoryOpenSsl", "TMD5 / OpenSSL MD5, 1 MiB memory");
  PrintRatio(reporter.speed, "FileOurs", "FileOpenSsl", "FileMD5Hex / OpenSSL MD5, file");
  PrintRatio(reporter.speed, "FileOurs", "FileMd5sum", "FileMD5Hex / md5sum, file");
  benchmark::Shutdown();
  return 0;
}
