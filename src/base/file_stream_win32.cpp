// TFileStream over Win32 file handles, opened by the wide name so that any folder works whatever
// the ANSI code page.
#include <windows.h>

#include "base/file_system.h"
#include "base/stream.h"
#include "base/wide_text.h"

namespace qor {

namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

TFileStream::TFileStream(const FilePath& path, FileMode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = 0;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileMode::kOpenReadShared:
      share = FILE_SHARE_READ;
      break;
    case FileMode::kOpenReadExclusive:
      break;
    case FileMode::kCreate:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
  }
  const HANDLE h = CreateFileW(WidePath(path).data(), access, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const std::uint32_t error = LastSystemError();
    throw EFileOpenError("Cannot open file \"" + path.Text() + "\": " + SystemErrorText(error));
  }
  handle_.Reset(reinterpret_cast<std::intptr_t>(h));
}

void FileHandleTraits::Free(std::intptr_t handle) { CloseHandle(AsHandle(handle)); }

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  DWORD got = 0;
  const DWORD want = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  if (!ReadFile(AsHandle(handle_.Get()), buffer, want, &got, nullptr)) throw EReadError();
  return got;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  DWORD put = 0;
  const DWORD want = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  if (!WriteFile(AsHandle(handle_.Get()), buffer, want, &put, nullptr)) return 0;
  return put;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  DWORD method = FILE_BEGIN;
  if (origin == SeekOrigin::Current) method = FILE_CURRENT;
  if (origin == SeekOrigin::End) method = FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER at;
  if (!SetFilePointerEx(AsHandle(handle_.Get()), distance, &at, method)) {
    throw EStreamError("Seek failed: " + SystemErrorText(LastSystemError()));
  }
  return at.QuadPart;
}

}  // namespace qor
