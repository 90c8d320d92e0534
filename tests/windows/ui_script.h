// Drives windows of the test's own thread from inside their modal loops: each step waits for its
// condition at the ticks of a thread timer (which fire in any loop that dispatches messages:
// ShowModal, ProcessMessages, message boxes), then runs its action. A step is taken off the list
// before its action runs, so an action that opens a nested modal loop lets later steps with a
// condition of their own (When) run in that loop; steps made by Do wait until no action runs.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace qor::testing {

class UiScript {
 public:
  // Steps that wait longer than this fail the script and run onTimeout (which should close what
  // is open, so that the test does not hang).
  explicit UiScript(std::function<void()> onTimeout,
                    std::chrono::milliseconds stepLimit = std::chrono::seconds(30))
      : onTimeout_(std::move(onTimeout)), stepLimit_(stepLimit) {}
  UiScript(const UiScript&) = delete;
  UiScript& operator=(const UiScript&) = delete;
  ~UiScript() { Stop(); }

  UiScript& When(std::string name, std::function<bool()> ready, std::function<void()> action) {
    steps_.push_back(Step{std::move(name), std::move(ready), std::move(action)});
    return *this;
  }
  UiScript& Do(std::string name, std::function<void()> action) {
    return When(std::move(name), [this] { return running_ == 0; }, std::move(action));
  }

  void Start() {
    current_ = this;
    stepStart_ = std::chrono::steady_clock::now();
    timer_ = SetTimer(nullptr, 0, 25, &UiScript::Tick);
  }
  void Stop() {
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    if (current_ == this) current_ = nullptr;
  }
  bool Finished() const { return steps_.empty(); }
  // The name of the step that timed out, or empty.
  const std::string& TimedOut() const { return timedOut_; }

 private:
  struct Step {
    std::string name;
    std::function<bool()> ready;
    std::function<void()> action;
  };

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    UiScript* self = current_;
    if (!self || self->steps_.empty()) return;
    if (!self->steps_.front().ready()) {
      if (std::chrono::steady_clock::now() - self->stepStart_ > self->stepLimit_) {
        self->timedOut_ = self->steps_.front().name;
        self->steps_.clear();
        self->onTimeout_();
      }
      return;
    }
    Step step = std::move(self->steps_.front());
    self->steps_.pop_front();
    self->stepStart_ = std::chrono::steady_clock::now();
    ++self->running_;
    step.action();
    --self->running_;
  }

  static inline UiScript* current_ = nullptr;
  std::deque<Step> steps_;
  std::function<void()> onTimeout_;
  std::chrono::milliseconds stepLimit_;
  std::chrono::steady_clock::time_point stepStart_;
  std::string timedOut_;
  UINT_PTR timer_ = 0;
  int running_ = 0;  // actions under way (nested in each other's modal loops)
};

}  // namespace qor::testing
