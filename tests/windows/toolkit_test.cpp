// The window toolkit in-process: layouts placed and scaled to the system DPI, labels sized to their
// text, docking, modal loops and their ending, events of the controls, GBK texts.
#include <gtest/gtest.h>

#include <string>

#include "support/windows/windows_helpers.h"
#include "ui/application.h"
#include "ui/components.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gbk_text.h"

namespace qor::ui {
namespace {

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().Initialize();
    App().ClearTerminated();
  }
  static int S(int layoutPixels) { return App().Scale(layoutPixels); }
};

using testing::ChildRect;
using testing::ClientRectOf;

const FormArgs kExtractionLike{
    .className = "TFrmToolkitTest",
    .caption = "正在解压缩安装包...",
    .left = 197,
    .top = 284,
    .width = 662,
    .height = 101,
    .color = Color::Rgb(245, 250, 254),
    .font = {.face = "MS Sans Serif", .height = 11},
};

TEST_F(ToolkitTest, GbkTextsReachTheWideFunctionsWhateverTheCodePage) {
  EXPECT_STREQ(Widen("正在解压缩安装包...").c_str(), L"正在解压缩安装包...");
  EXPECT_EQ(Widen("正在解压缩安装包...").size(), 11u);
  EXPECT_EQ(Narrow(L"防木马云验证"), "防木马云验证");
  EXPECT_STREQ(Widen("").c_str(), L"");
  Form form(kExtractionLike);
  EXPECT_EQ(testing::TextOf(form.Handle()), L"正在解压缩安装包...");
  EXPECT_EQ(form.Text(), "正在解压缩安装包...");
}

TEST_F(ToolkitTest, FormTakesItsClassNamePlaceAndClientSizeFromTheLayout) {
  Form form(kExtractionLike);
  wchar_t name[64] = {};
  GetClassNameW(form.Handle(), name, 64);
  EXPECT_STREQ(name, L"TFrmToolkitTest");
  RECT outer{};
  GetWindowRect(form.Handle(), &outer);
  EXPECT_EQ(outer.left, S(197));
  EXPECT_EQ(outer.top, S(284));
  // The layout's client area: the outer size less the designer's 8 x 34 frame.
  RECT client = ClientRectOf(form.Handle());
  EXPECT_EQ(client.right, S(654));
  EXPECT_EQ(client.bottom, S(67));
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(GetWindow(form.Handle(), GW_OWNER), App().Handle());
}

TEST_F(ToolkitTest, BorderlessFormKeepsItsSizeAndTakesItsCreationParameters) {
  Form popup({.className = "TToolkitPopup",
              .width = 120,
              .height = 60,
              .frame = FrameStyle::kNone,
              .addExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
              .owner = GetDesktopWindow()});
  RECT client = ClientRectOf(popup.Handle());
  EXPECT_EQ(client.right, S(120));
  EXPECT_EQ(client.bottom, S(60));
  LONG style = GetWindowLongW(popup.Handle(), GWL_STYLE);
  LONG ex_style = GetWindowLongW(popup.Handle(), GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_EQ(ex_style & 0x08000088, 0x08000088);
  EXPECT_FALSE(ex_style & WS_EX_APPWINDOW);
}

TEST_F(ToolkitTest, LabelsSizeToTheirTextOrKeepTheLayoutSize) {
  Form form(kExtractionLike);
  Label fixed(form, {.left = 16, .top = 12, .width = 425, .height = 13, .autoSize = false});
  Label sized(form, {.left = 28, .top = 37, .text = "md5 : "});
  fixed.SetCaption("正在提取压缩包install.dat，并解压成instPG.exe，请等待...");
  RECT fixed_rect = ChildRect(fixed.Handle());
  EXPECT_EQ(fixed_rect.left, S(16));
  EXPECT_EQ(fixed_rect.right - fixed_rect.left, S(425));
  EXPECT_EQ(fixed_rect.bottom - fixed_rect.top, S(13));

  const int short_width = ChildRect(sized.Handle()).right - ChildRect(sized.Handle()).left;
  sized.SetCaption("md5 : 0123456789abcdef0123456789abcdef");
  RECT long_rect = ChildRect(sized.Handle());
  EXPECT_GT(long_rect.right - long_rect.left, short_width);
  EXPECT_EQ(long_rect.left, S(28));
  const int one_line = long_rect.bottom - long_rect.top;
  sized.SetCaption("a\nb");
  RECT two_lines = ChildRect(sized.Handle());
  EXPECT_GE(two_lines.bottom - two_lines.top, 2 * one_line - 1);
  // An empty text measures as one space: the label keeps a line's height.
  sized.SetCaption("");
  EXPECT_EQ(ChildRect(sized.Handle()).bottom - ChildRect(sized.Handle()).top, one_line);
  EXPECT_EQ(sized.Caption(), "");
}

TEST_F(ToolkitTest, BottomDockedControlsStackFromTheEdgeInLayoutOrder) {
  Form form({.className = "TToolkitDock", .width = 418, .height = 208});
  Panel line(form, {.top = 91, .width = 410, .height = 1, .align = Align::kBottom});
  Panel buttons(form, {.top = 133, .width = 410, .height = 41, .align = Align::kBottom});
  Panel band(form, {.top = 92, .width = 410, .height = 41, .align = Align::kBottom});
  ProgressBar bar(band, {.top = 40, .width = 410, .height = 1, .align = Align::kBottom});
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    RECT client = ClientRectOf(form.Handle());
    RECT b = ChildRect(buttons.Handle());
    RECT m = ChildRect(band.Handle());
    RECT l = ChildRect(line.Handle());
    EXPECT_EQ(b.bottom, client.bottom);
    EXPECT_EQ(b.top, client.bottom - S(41));
    EXPECT_EQ(m.bottom, b.top);
    EXPECT_EQ(l.bottom, m.top);
    EXPECT_EQ(l.bottom - l.top, S(1));
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.right, client.right);
    RECT inner = ChildRect(bar.Handle());
    EXPECT_EQ(inner.bottom, S(41));
    EXPECT_EQ(inner.right, m.right - m.left);
  };
  check("as created");
  SetWindowPos(form.Handle(), nullptr, 0, 0, S(600), S(300), SWP_NOMOVE | SWP_NOZORDER);
  check("after resizing");
}

TEST_F(ToolkitTest, ProgressBarStepsWithinItsRange) {
  Form form(kExtractionLike);
  ProgressBar bar(form, {.max = 180, .step = 10});
  for (int i = 0; i < 18; ++i) bar.StepIt();
  EXPECT_EQ(bar.Position(), 180);
  bar.StepIt();
  EXPECT_EQ(bar.Position(), 180);
  bar.SetMax(0);
  bar.SetPosition(5);
  EXPECT_EQ(bar.Position(), 0);
}

TEST_F(ToolkitTest, ModalShowingDisablesTheOwnerAndEndsOnTerminate) {
  Form form(kExtractionLike);
  int ticks = 0;
  bool owner_disabled = false;
  Timer timer(form, {.interval = 20, .onTimer = [&] {
                       owner_disabled = !IsWindowEnabled(App().Handle());
                       if (++ticks == 3) App().Terminate();
                     }});
  EXPECT_EQ(form.ShowModal(), ModalResult::kCancel);
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(owner_disabled);
  EXPECT_TRUE(IsWindowEnabled(App().Handle()));
  EXPECT_FALSE(form.Visible());
  // A later modal showing after a termination request ends at once.
  EXPECT_EQ(form.ShowModal(), ModalResult::kCancel);
  EXPECT_EQ(ticks, 3);
}

TEST_F(ToolkitTest, ClosingEndsTheModalShowingAndTheFormCanShowAgain) {
  Form form(kExtractionLike);
  int closes = 0;
  form.onClose = [&] { ++closes; };
  PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form.ShowModal(), ModalResult::kCancel);
  Timer timer(form, {.interval = 20, .onTimer = [&] { form.SetModalResult(ModalResult::kOk); }});
  EXPECT_EQ(form.ShowModal(), ModalResult::kOk);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(App().Terminated());
}

// A busy form refuses what would run a loop of the system's (its menus, moving, sizing, its
// minimise and maximise buttons) and maximising; restore, the shell's minimise and every way of
// closing pass, a close request only noted. Before each message comes input that ends any such
// loop (a button's release, Escape): a loop that ran took some of it.
TEST_F(ToolkitTest, BusyFormRefusesOnlyWhatStartsALoop) {
  Form form(kExtractionLike);
  PopupMenu menu({{"软件md5码", [] {}}});
  form.SetPopupMenu(&menu);
  int closes = 0;
  form.onClose = [&] { ++closes; };
  ShowWindow(form.Handle(), SW_SHOWNORMAL);
  enum class Then { kNothing, kClosing, kMinimised, kRestored };
  const struct {
    const char* name;
    UINT message;
    WPARAM wparam;
    Then then;
  } rows[] = {
      {"context menu", WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.Handle()), Then::kNothing},
      {"system menu by Alt+Space", WM_SYSCOMMAND, SC_KEYMENU, Then::kNothing},
      {"system menu by the icon", WM_NCLBUTTONDOWN, HTSYSMENU, Then::kNothing},
      {"system menu by the caption", WM_NCRBUTTONDOWN, HTCAPTION, Then::kNothing},
      {"move by the caption", WM_NCLBUTTONDOWN, HTCAPTION, Then::kNothing},
      {"move by the keyboard", WM_SYSCOMMAND, SC_MOVE, Then::kNothing},
      {"size by the border", WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, Then::kNothing},
      {"minimise button", WM_NCLBUTTONDOWN, HTMINBUTTON, Then::kNothing},
      {"maximise button", WM_NCLBUTTONDOWN, HTMAXBUTTON, Then::kNothing},
      {"maximise by a caption double-click", WM_NCLBUTTONDBLCLK, HTCAPTION, Then::kNothing},
      {"maximise", WM_SYSCOMMAND, SC_MAXIMIZE, Then::kNothing},
      {"minimise by the shell", WM_SYSCOMMAND, SC_MINIMIZE, Then::kMinimised},
      {"restore after a shell minimise", WM_SYSCOMMAND, SC_RESTORE, Then::kRestored},
      {"close by a double-click on the caption icon", WM_NCLBUTTONDBLCLK, HTSYSMENU,
       Then::kClosing},
      {"close box", WM_NCLBUTTONDOWN, HTCLOSE, Then::kClosing},
      {"Alt+F4", WM_SYSCOMMAND, SC_CLOSE, Then::kClosing},
      {"close request", WM_CLOSE, 0, Then::kClosing},
  };
  const UINT enders[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_KEYDOWN};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    form.SetBusy(true);
    const int closesBefore = closes;
    for (UINT ender : enders) PostMessageW(form.Handle(), ender, VK_ESCAPE, 0);
    SendMessageW(form.Handle(), row.message, row.wparam, MAKELPARAM(S(300), S(300)));
    int untouched = 0;
    MSG message;
    for (UINT ender : enders)
      untouched += PeekMessageW(&message, form.Handle(), ender, ender, PM_REMOVE);
    EXPECT_EQ(untouched, 3) << "a loop of the system's ran";
    App().ProcessMessages();
    EXPECT_FALSE(IsZoomed(form.Handle()));
    EXPECT_EQ(IsIconic(form.Handle()) != 0, row.then == Then::kMinimised);
    EXPECT_EQ(form.CloseRequested(), row.then == Then::kClosing);
    EXPECT_EQ(closes - closesBefore, row.then == Then::kClosing ? 1 : 0);
    EXPECT_TRUE(form.Visible());
  }
  // Out of busy mode the system's own handling is back.
  form.SetBusy(false);
  SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(IsZoomed(form.Handle()));
}

TEST_F(ToolkitTest, DisabledTimerDropsTicksAndRestartsWhenEnabled) {
  Form form(kExtractionLike);
  int ticks = 0;
  Timer timer(form, {.interval = 10, .enabled = false, .onTimer = [&] { ++ticks; }});
  Sleep(50);
  App().ProcessMessages();
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  for (int i = 0; i < 100 && ticks == 0; ++i) {
    Sleep(10);
    App().ProcessMessages();
  }
  EXPECT_GT(ticks, 0);
}

TEST_F(ToolkitTest, ControlEventsRunTheirCallbacks) {
  Form form(kExtractionLike);
  int box_clicks = 0;
  int button_clicks = 0;
  int label_downs = 0;
  int menu_choices = 0;
  CheckBox box(form, {.left = 338,
                      .top = 37,
                      .width = 111,
                      .height = 17,
                      .text = "防木马云验证",
                      .checked = true,
                      .onClick = [&] { ++box_clicks; }});
  PictureButton button(form, {.left = 462, .top = 32, .width = 79, .height = 26, .onClick = [&] {
                                ++button_clicks;
                              }});
  Label link(form, {.text = "下载软件最新版本",
                    .handCursor = true,
                    .onMouseDown = [&](MouseButton) { ++label_downs; }});
  PopupMenu menu({{"软件md5码", [&] { ++menu_choices; }}});

  SendMessageW(box.Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(box_clicks, 1);
  box.SetChecked(true);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(box_clicks, 1);

  SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(button_clicks, 1);
  // Released outside: no click.
  SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(-50, 5));
  EXPECT_EQ(button_clicks, 1);
  EXPECT_NE(GetFocus(), button.Handle());

  SendMessageW(link.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, 0);
  SendMessageW(link.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ(label_downs, 2);

  menu.Choose(0);
  menu.Choose(1);  // no such item
  EXPECT_EQ(menu_choices, 1);
}

TEST_F(ToolkitTest, BmpFilesAreReadOnlyWhenWholeAndPlain) {
  // A 2 x 2, 24-bit bitmap: rows of 8 bytes (6 of pixels, 2 of padding).
  std::string bmp(14 + 40 + 16, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  bmp[26] = 1;
  bmp[28] = 24;
  UniqueBitmap whole = BitmapFromBmpFile(bmp.data(), bmp.size());
  ASSERT_TRUE(whole);
  SIZE size = BitmapSize(whole.Get());
  EXPECT_EQ(size.cx, 2);
  EXPECT_EQ(size.cy, 2);
  EXPECT_FALSE(BitmapFromBmpFile(bmp.data(), bmp.size() - 1)) << "pixels cut short";
  EXPECT_FALSE(BitmapFromBmpFile(bmp.data(), 20)) << "header cut short";
  std::string wrong = bmp;
  wrong[0] = 'X';
  EXPECT_FALSE(BitmapFromBmpFile(wrong.data(), wrong.size())) << "not a BMP";
  // The same as 4 bits a pixel with a palette of two colours before the pixels (rows of 4 bytes).
  bmp.resize(14 + 40 + 8 + 8);
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 62);
  bmp[28] = 4;
  put32(46, 2);
  EXPECT_TRUE(BitmapFromBmpFile(bmp.data(), bmp.size())) << "palette";
  put32(46, 16);
  EXPECT_FALSE(BitmapFromBmpFile(bmp.data(), bmp.size())) << "palette over the pixels";
}

}  // namespace
}  // namespace qor::ui
