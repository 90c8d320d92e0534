// Forms (top-level windows made from a declarative layout) and the container behaviour that forms
// and panels share: background colour, font inherited by child controls, bottom docking, routing of
// child notifications.
//
// A window module derives from Form, passes its FormArgs to the constructor and declares its
// controls as members initialised from their argument structs:
//
//   class TFrmExample : public ui::Form {
//    public:
//     TFrmExample();
//     ui::Label Label1{*this, {.left = 16, .top = 12, .width = 425, .height = 13}};
//     ui::Timer Timer1{*this, {.interval = 100, .enabled = false,
//                              .onTimer = [this] { Timer1Timer(); }}};
//   };
//
// The form's system window exists (hidden) once the Form constructor has run, so members may
// create their child windows in their own constructors. Run FormCreate-style code at the end of
// the derived constructor.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

namespace qor::ui {

class PopupMenu;
class Timer;

// Fills a rectangle with a colour.
void FillSolid(HDC dc, const RECT& rect, COLORREF color);

class Container : public Window {
 public:
  Color BackgroundColor() const { return background_; }
  void SetBackgroundColor(Color color);
  const FontSpec& Font() const { return font_; }
  // The GDI font made from Font() at the system's DPI (owned by the container).
  HFONT FontHandle() const { return fontHandle_.Get(); }

  // Called by the constructors and destructors of controls and panels.
  void AddChild(Window* child, const Bounds& designed, Align align);
  void RemoveChild(Window* child);
  // Lays the docked children out again (after a size change or a child's visibility change).
  void Realign();

 protected:
  Container(Color background, const FontSpec& font);
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Color background_;
  FontSpec font_;
  UniqueFont fontHandle_;
  UniqueBrush backgroundBrush_;
  struct Child {
    Window* window;
    Bounds designed;
    Align align;
  };
  std::vector<Child> children_;
};

enum class FrameStyle {
  kSizeable,  // caption, system menu, minimise and maximise buttons, sizing border
  kNone,      // a borderless popup
};

enum class ModalResult { kNone = 0, kOk = 1, kCancel = 2 };

struct FormArgs {
  const char* className = "TForm";  // the window class name ("TFrmUnzipSoft"); ASCII
  std::string_view caption;         // GBK
  int left = 0;                     // screen position where the layout placed it
  int top = 0;
  int width = 0;  // outer size as designed (frame included)
  int height = 0;
  Color color = Color::System(COLOR_BTNFACE);
  FontSpec font;
  FrameStyle frame = FrameStyle::kSizeable;
  // Window-creation parameters beyond the frame style: styles to add or remove, extended styles to
  // add, and the owner window (default: the application's window; GetDesktopWindow() for a
  // balloon). A form owned by the application's window gets a taskbar button.
  DWORD addStyle = 0;
  DWORD removeStyle = 0;
  DWORD addExStyle = 0;
  HWND owner = nullptr;
};

class Form : public Container {
 public:
  explicit Form(const FormArgs& args);
  ~Form() override;

  void SetCaption(std::string_view caption) { SetText(caption); }

  // Shows the form modally: its owner is disabled while it shows; the call returns when the form
  // is closed (Close, the close box, the system menu), when ModalResult is set, or when the
  // application is asked to terminate. Returns the modal result (kCancel when closed).
  ModalResult ShowModal();
  // Ends the modal showing (result kCancel) or hides a form that is not modal. The window object
  // stays and may be shown again.
  void Close();
  void SetModalResult(ModalResult result) { modalResult_ = result; }
  bool IsModal() const { return modal_; }

  // Busy mode, for work on this thread that handles the form's messages while it waits
  // (App().ProcessMessagesExceptInput): the form refuses what would run a loop of the system's, in
  // which that work would stall (moving, sizing, the minimise and maximise buttons, the system
  // menu, the context menu), and maximising. Restore, the shell's minimise and a close request by
  // any means pass; a close request only runs onClose and is noted (CloseRequested), so that the
  // work can end and then close the form. Entering busy mode clears the note.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }
  bool CloseRequested() const { return closeRequested_; }

  // The context menu shown on a right click anywhere on the form (or null).
  void SetPopupMenu(PopupMenu* menu) { popupMenu_ = menu; }

  // Events of the form. onClick: a left-button click on the form's own client area. onPaint: after
  // the background is filled, with the form's device context (children paint themselves after).
  std::function<void()> onClick;
  std::function<void(HDC)> onPaint;
  std::function<void()> onShow;
  // onActivate: the form became active; the keyboard focus then goes to the control that had it
  // last, at first to the first tab stop (a form without one keeps it itself).
  std::function<void()> onActivate;
  std::function<void()> onDeactivate;
  // A close request (close box, system menu, Alt+F4, Close()). Runs before the form closes, or
  // while it is busy, instead.
  std::function<void()> onClose;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  friend class Timer;
  void EndModal(ModalResult result);
  // What busy mode does with message: refused (0), noted as a close request, or std::nullopt.
  std::optional<LRESULT> WhileBusy(UINT message, WPARAM wparam);
  // The first visible, enabled child with WS_TABSTOP in creation order, or null.
  HWND FirstTabStop() const;
  std::vector<Timer*> timers_;
  bool modal_ = false;
  bool busy_ = false;
  bool closeRequested_ = false;
  ModalResult modalResult_ = ModalResult::kNone;
  PopupMenu* popupMenu_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that had the keyboard when the form was deactivated
};

}  // namespace qor::ui
