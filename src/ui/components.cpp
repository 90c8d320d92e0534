#include "ui/components.h"

#include <algorithm>
#include <cstring>

#include "ui/gbk_text.h"

namespace qor::ui {

// ---- Timer

Timer::Timer(Form& form, const TimerArgs& args)
    : onTimer(args.onTimer), form_(form), interval_(args.interval), enabled_(args.enabled) {
  static UINT_PTR next_id = 1;
  id_ = next_id++;
  form_.timers_.push_back(this);
  Update();
}

Timer::~Timer() {
  if (running_ && form_.Handle()) KillTimer(form_.Handle(), id_);
  auto& timers = form_.timers_;
  timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void Timer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Update();
}

void Timer::SetInterval(unsigned milliseconds) {
  interval_ = milliseconds;
  Update();
}

void Timer::Update() {
  if (running_) {
    KillTimer(form_.Handle(), id_);
    running_ = false;
  }
  if (enabled_ && interval_ > 0 && form_.Handle()) {
    running_ = SetTimer(form_.Handle(), id_, interval_, nullptr) != 0;
  }
}

void Timer::Tick() {
  // A tick that was already queued when the timer was disabled is dropped.
  if (!enabled_) return;
  Form::Invoke(onTimer);
}

// ---- PopupMenu

PopupMenu::PopupMenu(std::vector<MenuItemArgs> items)
    : items_(std::move(items)), menu_(CreatePopupMenu()) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    AppendMenuW(menu_.Get(), MF_STRING, i + 1, Widen(items_[i].caption).c_str());
  }
}

void PopupMenu::Popup(HWND window, POINT screen) {
  // The menu closes properly only when its owner is the foreground window.
  SetForegroundWindow(window);
  UINT chosen =
      static_cast<UINT>(TrackPopupMenu(menu_.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                       screen.x, screen.y, 0, window, nullptr));
  PostMessageW(window, WM_NULL, 0, 0);
  if (chosen > 0) Choose(chosen - 1);
}

void PopupMenu::Choose(std::size_t index) {
  if (index < items_.size()) Form::Invoke(items_[index].onClick);
}

// ---- Bitmaps

ResourceBytes FindResourceBytes(const char* name, const char* type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {data, SizeofResource(module, info)};
}

UniqueBitmap LoadBitmapResource(const char* name) {
  return UniqueBitmap(static_cast<HBITMAP>(LoadImageW(
      GetModuleHandleW(nullptr), Widen(name).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

UniqueBitmap BitmapFromBmpFile(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  if (!bytes || size < sizeof file + sizeof info) return {};
  std::memcpy(&file, bytes, sizeof file);
  std::memcpy(&info, bytes + sizeof file, sizeof info);
  if (file.bfType != 0x4D42 || info.biSize < sizeof info) return {};
  if (file.bfOffBits < sizeof file + info.biSize || file.bfOffBits >= size) return {};
  // The pixels must lie inside what was given.
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biPlanes != 1) return {};
  if (info.biBitCount != 4 && info.biBitCount != 8 && info.biBitCount != 24 &&
      info.biBitCount != 32) {
    return {};
  }
  if (info.biCompression != BI_RGB) return {};
  // A palette (4 and 8 bits a pixel) lies between the header and the pixels.
  if (info.biBitCount <= 8) {
    const std::size_t colours = info.biClrUsed ? info.biClrUsed : std::size_t{1} << info.biBitCount;
    if (colours > (std::size_t{1} << info.biBitCount) ||
        file.bfOffBits < sizeof file + info.biSize + colours * sizeof(RGBQUAD)) {
      return {};
    }
  }
  std::size_t stride = ((static_cast<std::size_t>(info.biWidth) * info.biBitCount + 31) / 32) * 4;
  std::size_t rows = static_cast<std::size_t>(info.biHeight < 0 ? -info.biHeight : info.biHeight);
  if (rows > (size - file.bfOffBits) / stride) return {};
  WindowDc screen(nullptr);
  const auto* header = reinterpret_cast<const BITMAPINFO*>(bytes + sizeof file);
  return UniqueBitmap(CreateDIBitmap(screen.Get(), &info, CBM_INIT, bytes + file.bfOffBits, header,
                                     DIB_RGB_COLORS));
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace qor::ui
