// Builds install packages byte by byte in memory, including ones that break the format: declared
// sizes that do not match, damaged streams, hostile names, headers cut short.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qor::testing {

// The four little-endian bytes of value.
std::string Int32Bytes(std::int32_t value);

// data as one zlib stream at the given level (9 gives the header 78 DA).
std::string ZlibStream(std::string_view data, int level = 9);

// One entry: name length, name, declared size and the stream bytes as given.
std::string EntryBytes(std::string_view name, std::int32_t declared_size, std::string_view stream);

// An entry whose declared size is data's length and whose stream is data at level 9.
std::string Entry(std::string_view name, std::string_view data);

// The count field followed by the entries, back to back.
std::string PackageBytes(std::int32_t count, const std::vector<std::string>& entries);

// Deterministic bytes of the given size mixing text, runs and noise, so that deflate produces
// both literal and match codes.
std::string MixedBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace qor::testing
