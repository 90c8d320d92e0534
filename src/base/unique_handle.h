// The one move-only owner of a system handle, for every kind of handle on both platforms: the
// kind's traits say what "none" is and how it is freed. Each owner frees its handle exactly once;
// Release() hands the handle over (for example to SetWindowRgn, which owns the region once it
// succeeds). The Win32 kinds are in handles_win32.h; sockets and files name theirs beside them.
#pragma once

#include <utility>

namespace qor {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Type Get() const { return handle_; }
  explicit operator bool() const { return Traits::IsValid(handle_); }

  // Gives up ownership without freeing; returns the handle.
  Type Release() { return std::exchange(handle_, Traits::Empty()); }
  // Frees the current handle (if any) and takes handle.
  void Reset(Type handle = Traits::Empty()) {
    Type old = std::exchange(handle_, handle);
    if (Traits::IsValid(old)) Traits::Free(old);
  }

 private:
  Type handle_ = Traits::Empty();
};

}  // namespace qor
