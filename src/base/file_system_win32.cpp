// File-system operations through the wide Win32 functions: a FilePath is UTF-8, so any folder
// name works whatever the ANSI code page, and splitting it needs no double-byte rules.
#include <windows.h>

#include <vector>

#include "base/file_system.h"
#include "base/handles_win32.h"
#include "base/stream.h"
#include "base/text.h"
#include "base/wide_text.h"

namespace qor {

char PathSeparator() { return '\\'; }

namespace {

DWORD Attributes(const FilePath& path) { return GetFileAttributesW(WidePath(path).data()); }

}  // namespace

bool DirectoryExists(const FilePath& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const FilePath& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ForceDirectories(const FilePath& path) {
  std::string dir = path.Native();
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  // "C:" and "\\server\share" roots exist or not; they cannot be created.
  if (dir.empty() || DirectoryExists(FilePath::FromNative(dir)) ||
      (dir.size() == 2 && dir[1] == ':')) {
    return;
  }
  const std::size_t at = dir.find_last_of("\\/");
  if (at != std::string::npos && at > 0) ForceDirectories(FilePath::FromNative(dir.substr(0, at)));
  const FilePath created = FilePath::FromNative(dir);
  if (!CreateDirectoryW(WidePath(created).data(), nullptr)) {
    const std::uint32_t error = LastSystemError();
    if (error == ERROR_ALREADY_EXISTS) return;
    throw EStreamError("Cannot create directory \"" + created.Text() +
                       "\": " + SystemErrorText(error));
  }
}

void MoveFileReplacing(const FilePath& from, const FilePath& to) {
  if (!MoveFileExW(WidePath(from).data(), WidePath(to).data(), MOVEFILE_REPLACE_EXISTING)) {
    const std::uint32_t error = LastSystemError();
    throw EStreamError("Cannot write \"" + to.Text() + "\": " + SystemErrorText(error));
  }
}

void RemoveFileQuietly(const FilePath& path) { DeleteFileW(WidePath(path).data()); }

bool StderrIsTerminal() {
  // A console answers GetConsoleMode; a file, a pipe and the NUL device do not.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::uint32_t LastSystemError() { return GetLastError(); }

std::string SystemErrorText(std::uint32_t code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n ? std::string(text, n) : "error " + DecimalText(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

FilePath ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return FilePath::FromNative(Utf8FromWide({buffer.data(), n}));
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<FileIdentity> GetFileIdentity(const FilePath& path) {
  // No access rights asked: that opens even a file another handle holds without sharing, and
  // backup semantics let a directory open too.
  const UniqueKernelHandle file(
      CreateFileW(WidePath(path).data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

}  // namespace qor
