// zlib's CRC-32, bit by bit. Inflate refers to crc32 for gzip streams only; a setup program reads
// zlib streams (adler32), so the library's table-driven version, with 5 KiB of tables and its
// combine functions (some 8 KiB in all), would never run. Defined here, it is not linked; this one
// gives the same answers, more slowly.
#include <zlib.h>

extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  if (!buf) return 0;  // the initial value, as zlib's
  crc = ~crc & 0xFFFFFFFFUL;
  while (len--) {
    crc ^= *buf++;
    for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320UL & (0 - (crc & 1)));
  }
  return ~crc & 0xFFFFFFFFUL;
}
