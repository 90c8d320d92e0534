#include "package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "base/file_system.h"
#include "base/text.h"
#include "extraction/package.h"

namespace qor {

namespace {

constexpr std::size_t kChunkSize = 65536;

std::string Int32Bytes(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
          static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
}

// Owns a deflate state for one stream.
class Deflater {
 public:
  Deflater() {
    if (deflateInit(&stream_, Z_BEST_COMPRESSION) != Z_OK) throw EStreamError("deflate failed");
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  ~Deflater() { deflateEnd(&stream_); }
  z_stream* operator->() { return &stream_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
};

// Names Windows keeps for devices, whatever extension follows.
bool IsDeviceName(std::string_view name) {
  std::string stem = AsciiUpperCase(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

bool IsPackableEntryName(std::string_view name) {
  if (name.size() > static_cast<std::size_t>(kMaxEntryNameLength) ||
      !IsSafeEntryName(name, EntryNameRules::kWindows) || IsDeviceName(name) ||
      name.back() == '.' || name.back() == ' ') {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (IsGbkLeadByte(byte) && i + 1 < name.size()) {
      ++i;  // a GBK lead byte: the next byte belongs to the same character
    } else if (byte < 32 ||
               std::string_view("\\/:<>\"|?*").find(name[i]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

PackageWriter::PackageWriter(TStream& out, std::int32_t count) : out_(out), count_(count) {
  if (count < 0) throw EPackageError("a package cannot hold a negative count of entries");
  out_.WriteExactly(Int32Bytes(count).data(), 4);
}

std::int64_t PackageWriter::AddEntry(std::string_view name, TStream& source, std::int64_t size,
                                     const Progress& progress) {
  if (added_ >= count_) throw EPackageError("more entries than announced");
  if (!IsPackableEntryName(name)) {
    throw EPackageError("\"" + std::string(name) +
                        "\" cannot be an entry name: Windows would not unpack it under that name");
  }
  if (size < 0 || size > std::numeric_limits<std::int32_t>::max()) {
    throw EPackageError("\"" + std::string(name) + "\" is too large for a package entry (" +
                        std::to_string(size) + " bytes; at most 2,147,483,647)");
  }
  const std::string header = Int32Bytes(static_cast<std::int32_t>(name.size())) +
                             std::string(name) + Int32Bytes(static_cast<std::int32_t>(size));
  out_.WriteExactly(header.data(), header.size());

  Deflater deflater;
  std::vector<unsigned char> in(kChunkSize);
  std::vector<unsigned char> out(kChunkSize);
  std::int64_t left = size;
  std::int64_t written = 0;
  int flush = Z_NO_FLUSH;
  do {
    if (deflater->avail_in == 0 && flush == Z_NO_FLUSH) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunkSize));
      source.ReadExactly(in.data(), n);
      left -= static_cast<std::int64_t>(n);
      deflater->next_in = in.data();
      deflater->avail_in = static_cast<uInt>(n);
      if (left == 0) flush = Z_FINISH;
      if (progress) progress(size - left);
    }
    deflater->next_out = out.data();
    deflater->avail_out = static_cast<uInt>(out.size());
    const int result = deflate(deflater.get(), flush);
    if (result == Z_STREAM_ERROR) throw EStreamError("deflate failed");
    const std::size_t made = out.size() - deflater->avail_out;
    out_.WriteExactly(out.data(), made);
    written += static_cast<std::int64_t>(made);
    if (result == Z_STREAM_END) break;
  } while (true);
  ++added_;
  return written;
}

void PackageWriter::Finish() const {
  if (added_ != count_) {
    throw EPackageError("the package announces " + std::to_string(count_) + " entries but holds " +
                        std::to_string(added_));
  }
}

std::string EntryNameForPath(std::string_view path) {
  const std::string separators = PathSeparator() == '\\' ? "\\/:" : "/";
  const std::size_t at = path.find_last_of(separators);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

}  // namespace qor
