// A byte source for the HTTP response reader that hands out its bytes a few at a time and then
// reports a close, as a network may split a response anywhere.
#pragma once

#include <algorithm>
#include <string>

#include "verification/http_response.h"

namespace qor::testing {

class PieceSource : public THttpByteSource {
 public:
  PieceSource(std::string bytes, std::size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
  std::size_t Receive(char* buffer, std::size_t capacity) override {
    const std::size_t n = std::min({piece_, capacity, bytes_.size() - at_});
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return n;
  }

 private:
  std::string bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

}  // namespace qor::testing
