#include "ui/form.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/application.h"
#include "ui/components.h"
#include "ui/controls.h"
#include "ui/gbk_text.h"

namespace qor::ui {

namespace {

// The frame of a sizeable window on the system the layouts were drawn on: 4 pixels each side and
// a 30-pixel caption. Layouts give outer sizes; the client area they meant is the outer size less
// this frame, and that client area is what gets scaled.
constexpr int kDesignFrameWidth = 8;
constexpr int kDesignFrameHeight = 34;

}  // namespace

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

// ---- Container

Container::Container(Color background, const FontSpec& font)
    : background_(background), font_(font), fontHandle_(CreateScaledFont(font)) {}

void Container::SetBackgroundColor(Color color) {
  background_ = color;
  backgroundBrush_.Reset();
  Invalidate();
}

void Container::AddChild(Window* child, const Bounds& designed, Align align) {
  children_.push_back(Child{child, designed, align});
  if (align != Align::kNone) Realign();
}

void Container::RemoveChild(Window* child) {
  children_.erase(std::remove_if(children_.begin(), children_.end(),
                                 [child](const Child& c) { return c.window == child; }),
                  children_.end());
}

void Container::Realign() {
  if (!Handle()) return;
  RECT client{};
  GetClientRect(Handle(), &client);
  // The lowest control of the layout lies at the edge, the next one above it, and so on; controls
  // designed at the same height keep their order. Sorted by insertion: a form docks one or two
  // controls (no std::stable_sort in setup code: src/runtime/README.md).
  std::vector<const Child*> docked;
  for (const Child& child : children_) {
    if (child.align != Align::kBottom) continue;
    auto at = docked.end();
    while (at != docked.begin() && (*(at - 1))->designed.top < child.designed.top) --at;
    docked.insert(at, &child);
  }
  int bottom = client.bottom;
  for (const Child* child : docked) {
    int height = App().Scale(child->designed.height);
    MoveWindow(child->window->Handle(), 0, bottom - height, client.right, height, TRUE);
    bottom -= height;
  }
}

std::optional<LRESULT> Container::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(Handle(), &client);
      FillSolid(reinterpret_cast<HDC>(wparam), client, background_.Resolve());
      return 1;
    }
    case WM_SIZE:
      Realign();
      return std::nullopt;
    case WM_COMMAND:
      if (lparam) {
        if (Window* child = FromHandle(reinterpret_cast<HWND>(lparam))) {
          child->HandleCommand(HIWORD(wparam));
        }
      }
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      // Asked of the control rather than found by dynamic_cast (src/runtime/README.md).
      if (Window* child = FromHandle(reinterpret_cast<HWND>(lparam))) {
        if (auto color = child->ParentPaintedTextColor()) SetTextColor(dc, *color);
      }
      SetBkColor(dc, background_.Resolve());
      if (!backgroundBrush_) backgroundBrush_.Reset(CreateSolidBrush(background_.Resolve()));
      return reinterpret_cast<LRESULT>(backgroundBrush_.Get());
    }
    default:
      return std::nullopt;
  }
}

// ---- Form

Form::Form(const FormArgs& args) : Container(args.color, args.font) {
  Application& app = App();
  DWORD style = WS_CLIPCHILDREN;
  if (args.frame == FrameStyle::kSizeable) {
    style |= WS_OVERLAPPEDWINDOW;
  } else {
    style |= WS_POPUP;
  }
  style = (style | args.addStyle) & ~args.removeStyle;
  HWND owner = args.owner ? args.owner : app.Handle();
  DWORD ex_style = args.addExStyle;
  if (owner == app.Handle()) ex_style |= WS_EX_APPWINDOW;

  RECT rect{};
  if (args.frame == FrameStyle::kSizeable) {
    RECT client{0, 0, app.Scale(args.width - kDesignFrameWidth),
                app.Scale(args.height - kDesignFrameHeight)};
    AdjustWindowRectEx(&client, style, FALSE, ex_style);
    rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
  } else {
    rect = RECT{0, 0, app.Scale(args.width), app.Scale(args.height)};
  }
  OffsetRect(&rect, app.Scale(args.left), app.Scale(args.top));

  CreateParams params;
  params.exStyle = ex_style;
  params.className = RegisterToolkitClass(args.className, CS_DBLCLKS);
  params.text = args.caption;
  params.style = style & ~WS_VISIBLE;
  params.pixels = rect;
  params.parent = owner;
  Create(params);
}

Form::~Form() {
  if (modal_) App().PopModal();
}

ModalResult Form::ShowModal() {
  Application& app = App();
  HWND self = Handle();
  HWND owner = GetWindow(self, GW_OWNER);
  modal_ = true;
  modalResult_ = ModalResult::kNone;
  app.PushModal(this);
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(self, SW_SHOWNORMAL);
  SetForegroundWindow(self);

  MSG message;
  while (modalResult_ == ModalResult::kNone && !app.Terminated()) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      app.Terminate();
      break;
    }
    if (got < 0) break;
    // Gives the keyboard its dialog behaviour (Tab, Space on the check box); Enter and Escape
    // arrive as commands without a control and start nothing.
    if (!IsDialogMessageW(self, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // The owner is enabled before this window hides, so that activation goes back to it.
  if (owner) EnableWindow(owner, TRUE);
  if (Handle()) ShowWindow(self, SW_HIDE);
  app.PopModal();
  modal_ = false;
  return modalResult_ == ModalResult::kNone ? ModalResult::kCancel : modalResult_;
}

void Form::Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

HWND Form::FirstTabStop() const {
  for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(child) &&
        IsWindowEnabled(child)) {
      return child;
    }
  }
  return nullptr;
}

void Form::EndModal(ModalResult result) {
  if (modal_) {
    modalResult_ = result;
  } else {
    ShowWindow(Handle(), SW_HIDE);
  }
}

void Form::SetBusy(bool busy) {
  busy_ = busy;
  if (busy) closeRequested_ = false;
}

std::optional<LRESULT> Form::WhileBusy(UINT message, WPARAM wparam) {
  switch (message) {
    case WM_NCLBUTTONDOWN:
      // The close box closes on the press, without the system's loop that tracks the button.
      if (wparam != HTCLOSE) return 0;
      [[fallthrough]];
    case WM_CLOSE:
      closeRequested_ = true;
      Invoke(onClose);
      return 0;
    case WM_SYSCOMMAND:  // Alt+F4, the close box and a double-click on the icon come as SC_CLOSE
      switch (wparam & 0xFFF0) {
        case SC_CLOSE:
        case SC_RESTORE:
        case SC_MINIMIZE:  // from the shell: the minimise button's press is refused above
          return std::nullopt;
        default:
          return 0;
      }
    case WM_CONTEXTMENU:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
      return 0;
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (busy_) {
    if (std::optional<LRESULT> answer = WhileBusy(message, wparam)) return answer;
  }
  switch (message) {
    case WM_CLOSE:
      Invoke(onClose);
      EndModal(ModalResult::kCancel);
      return 0;
    case WM_PAINT: {
      PaintDc paint(Handle());
      if (onPaint) Invoke([&] { onPaint(paint.Get()); });
      return 0;
    }
    case WM_LBUTTONUP:
      Invoke(onClick);
      return 0;
    case WM_CONTEXTMENU:
      if (popupMenu_) {
        POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        if (at.x == -1 && at.y == -1) GetCursorPos(&at);
        popupMenu_->Popup(Handle(), at);
        return 0;
      }
      return std::nullopt;
    case WM_SHOWWINDOW:
      if (wparam) Invoke(onShow);
      return std::nullopt;
    case WM_ACTIVATE: {
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
        Invoke(onDeactivate);
        return std::nullopt;
      }
      Invoke(onActivate);
      // As a dialog does: the keyboard goes to the control that had it, at first to the first
      // tab stop, rather than to the form itself, where keys reach nothing.
      HWND target = lastFocus_ && IsChild(Handle(), lastFocus_) ? lastFocus_ : FirstTabStop();
      if (!target || HIWORD(wparam) != 0) return std::nullopt;  // nothing to focus, or minimised
      SetFocus(target);
      return 0;
    }
    case WM_TIMER:
      for (Timer* timer : timers_) {
        if (timer->id_ == wparam) {
          timer->Tick();
          return 0;
        }
      }
      return std::nullopt;
    default:
      return Container::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace qor::ui
