// What TSocket and TListener do alike on every platform: ownership of the handle. The platform
// files (socket_posix.cpp, socket_win32.cpp) hold the system calls.
#include "base/socket.h"

namespace qor {

TSocket::TSocket(TSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TSocket& TSocket::operator=(TSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

TSocket::~TSocket() { Close(); }

bool TSocket::IsOpen() const { return handle_ != -1; }

TListener::TListener(TListener&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TListener& TListener::operator=(TListener&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

TListener::~TListener() { Close(); }

bool TListener::IsOpen() const { return handle_ != -1; }

}  // namespace qor
