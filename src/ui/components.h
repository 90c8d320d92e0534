// Components without a window of their own: the timer and the popup (context) menu, both bound to
// a form, and the loading of bitmaps from the program's resources.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/handles_win32.h"
#include "ui/form.h"

namespace qor::ui {

// ---- Timer: a window timer of its form. Ticks arrive as messages of the form, so they run only
// while messages are being processed. An interval of 0 never ticks.
struct TimerArgs {
  unsigned interval = 1000;  // milliseconds
  bool enabled = true;
  std::function<void()> onTimer;
};

class Timer {
 public:
  Timer(Form& form, const TimerArgs& args);
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer();

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  // Restarts the timer with the new interval when it is enabled.
  void SetInterval(unsigned milliseconds);

  std::function<void()> onTimer;

 private:
  friend class Form;
  void Update();
  void Tick();
  Form& form_;
  UINT_PTR id_;
  unsigned interval_;
  bool enabled_;
  bool running_ = false;
};

// ---- PopupMenu: a context menu; SetPopupMenu on a form shows it on a right click.
struct MenuItemArgs {
  std::string caption;  // GBK
  std::function<void()> onClick;
};

class PopupMenu {
 public:
  explicit PopupMenu(std::vector<MenuItemArgs> items);
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  // Shows the menu at a screen point, owned by window, and runs the chosen item's onClick.
  void Popup(HWND window, POINT screen);
  // Runs item index's onClick (as choosing it would).
  void Choose(std::size_t index);
  std::size_t Count() const { return items_.size(); }

 private:
  std::vector<MenuItemArgs> items_;
  UniqueMenu menu_;
};

// The bytes of a resource of the program's own module, found by type and name (each matched
// without regard to case). The memory belongs to the loaded module and lives as long as the
// process. data is null when there is no such resource or it cannot be loaded.
struct ResourceBytes {
  const void* data = nullptr;
  std::size_t size = 0;
};
ResourceBytes FindResourceBytes(const char* name, const char* type);

// Loads an RT_BITMAP resource of the program by name (case-insensitive, as resources match).
// Returns an empty bitmap when there is none.
UniqueBitmap LoadBitmapResource(const char* name);
// Makes a bitmap from the bytes of a complete BMP file (file header, info header, pixels).
// Returns an empty bitmap when the bytes are not a BMP the system can read.
UniqueBitmap BitmapFromBmpFile(const void* data, std::size_t size);
// The pixel size of bitmap.
SIZE BitmapSize(HBITMAP bitmap);

}  // namespace qor::ui
