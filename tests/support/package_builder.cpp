#include "package_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace qor::testing {

std::string Int32Bytes(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
          static_cast<char>((bits >> 16) & 0xFF), static_cast<char>((bits >> 24) & 0xFF)};
}

std::string ZlibStream(std::string_view data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                level) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  out.resize(size);
  return out;
}

std::string EntryBytes(std::string_view name, std::int32_t declared_size, std::string_view stream) {
  return Int32Bytes(static_cast<std::int32_t>(name.size())) + std::string(name) +
         Int32Bytes(declared_size) + std::string(stream);
}

std::string Entry(std::string_view name, std::string_view data) {
  return EntryBytes(name, static_cast<std::int32_t>(data.size()), ZlibStream(data));
}

std::string PackageBytes(std::int32_t count, const std::vector<std::string>& entries) {
  std::string bytes = Int32Bytes(count);
  for (const std::string& entry : entries) bytes += entry;
  return bytes;
}

std::string MixedBytes(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"setup ",   "package ", "entry ", "stream ", "\r\n",
                                       "install ", "Pagrim ",  "0123 ",  "window ", "\t"};
  std::string bytes;
  bytes.reserve(size);
  std::uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  while (bytes.size() < size) {
    const std::uint32_t kind = next() % 4;
    const std::size_t run = 64 + next() % 2048;
    for (std::size_t i = 0; i < run && bytes.size() < size; ++i) {
      if (kind == 0) {
        bytes += static_cast<char>(next() & 0xFF);  // noise
      } else if (kind == 1) {
        bytes += static_cast<char>(run & 0xFF);  // a run
      } else {
        const char* word = kWords[next() % 10];
        while (*word && bytes.size() < size) bytes += *word++;
      }
    }
  }
  return bytes;
}

}  // namespace qor::testing
