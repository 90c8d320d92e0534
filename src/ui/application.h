// The application object: the program's hidden owner window (the owner of top-level forms, of
// message boxes and of shell launches), the modal loops, message processing, termination, title,
// message box, clipboard and DPI scaling. One per process, on the user-interface thread.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles_win32.h"

namespace qor::ui {

class Form;

class Application {
 public:
  // The one application object (created on first use; Initialize it before making any window).
  static Application& Instance();

  // Declares the process DPI-aware, loads the common controls and creates the hidden application
  // window. No main window is created. Safe to call twice.
  void Initialize();

  // The application's window: the owner for forms, message boxes and ShellExecuteA.
  HWND Handle() const { return window_.Get(); }

  // The text of the taskbar button and the caption of message boxes (GBK).
  void SetTitle(std::string_view title);
  const std::string& Title() const { return title_; }

  // Handles every message waiting in the queue, then returns. A WM_QUIT found there asks the
  // application to terminate.
  void ProcessMessages();
  // The same, except that mouse and key input for busy (a window and the controls inside it) is
  // dropped: a window that is working keeps painting, moving and answering the system, and its
  // frame still closes it (close box, system menu, Alt+F4), but clicks and keys in it do nothing.
  void ProcessMessagesExceptInput(HWND busy);
  // Asks the application to terminate: the modal loop of the form showing ends, and Run returns.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Forgets a termination request (for test programs that show several forms in turn).
  void ClearTerminated() { terminated_ = false; }
  // The application's message loop. The program has no main window, so it returns at once.
  void Run();

  // A modal message box owned by the active form (or the application window), captioned with the
  // title. Returns the button pressed (IDOK, ...).
  int MessageBox(std::string_view text, UINT flags = MB_OK);
  // The toolkit's standard error box: the error's text with an OK button.
  void ShowException(const std::exception& error);
  // Puts text (GBK) on the clipboard, replacing its content. Returns false when the clipboard
  // cannot be opened or written.
  bool SetClipboardText(std::string_view text);

  // Destroys form when the event loop next runs (a form must not delete itself in its handler).
  void DeleteLater(std::unique_ptr<Form> form);

  // The system DPI and the scaling of layout units (pixels at 96 dpi) to it and back.
  int Dpi() const { return dpi_; }
  int Scale(int layoutPixels) const { return MulDiv(layoutPixels, dpi_, 96); }
  int Unscale(int pixels) const { return MulDiv(pixels, 96, dpi_); }

  // Used by forms: the innermost modal form and its nesting.
  Form* ModalForm() const { return modalForms_.empty() ? nullptr : modalForms_.back(); }
  void PushModal(Form* form) { modalForms_.push_back(form); }
  void PopModal() { modalForms_.pop_back(); }

 private:
  Application() = default;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void DeletePending();

  UniqueWindow window_;
  std::string title_;
  bool terminated_ = false;
  int dpi_ = 96;
  std::vector<Form*> modalForms_;
  std::vector<std::unique_ptr<Form>> pendingDeletes_;
};

// Looks up a function of a system DLL that is not among the DLLs every process has loaded
// (comctl32, uxtheme). Such DLLs are never imported: a static import would be resolved before the
// program could restrict the DLL search, and a planted copy beside the program would load. Loads
// from System32 (or the side-by-side store the manifest names). Returns null when missing.
void* SystemFunction(const wchar_t* dll, const char* name);

// Shorthand for Application::Instance().
inline Application& App() { return Application::Instance(); }

}  // namespace qor::ui
