// The verification window, the certification window and the balloon, in process under Wine,
// against the fault-injecting HTTP server on 127.0.0.1. The windows are driven from inside their
// own modal loops (UiScript); what the user would have seen is recorded by thread hooks: the hint
// label's text each time it is painted, and each balloon's title when it is shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "balloon/Balloon.h"
#include "balloon/balloon_geometry.h"
#include "extraction/UnzipSoftUnit.h"
#include "params/allparam.h"
#include "support/http_test_server.h"
#include "support/windows/screenshot.h"
#include "support/windows/windows_helpers.h"
#include "ui/application.h"
#include "ui/gbk_text.h"
#include "ui_script.h"
#include "verification/FrmCheckShareCode.h"
#include "verification/ShareCodeCheckunit.h"
#include "verification/answer_publishing.h"

namespace qor {
namespace {

using testing::THttpTestServer;
using testing::Today;
using testing::TServerBehaviour;
using testing::UiScript;

const std::string kSending = "正在向服务器发送验证码：";
const std::string kPleaseWait = "请稍候...";
const std::string kBusy = "服务器繁忙，正在切换服务器，请稍候...";
const std::string kNoAnswerTitle = "请您连接互联网已进行防木马云验证。";
const std::string kFailedTitle =
    "服务器安全码验证失败，这可能是您没有连接互联网或此软件被恶意串改。";
const std::string kCheckOffTitle = "防木马云验证可以避免QOR软件在互联网传播过程中被恶意串改";

// ---- Recorders -------------------------------------------------------------------------------

// While it lives, Recorder::Seen takes every message that this thread's hook of kind sees.
template <typename Recorder, int kind>
class ThreadHook {
 public:
  ThreadHook() : hook_(SetWindowsHookExW(kind, &Hook, nullptr, GetCurrentThreadId())) {
    current_ = static_cast<Recorder*>(this);
  }
  ~ThreadHook() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code >= 0 && current_) current_->Seen(wparam, lparam);
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
  static inline Recorder* current_ = nullptr;
  HHOOK hook_;
};

// The hint label's text at each of its paints (a change shows only when messages are processed).
class HintRecorder : public ThreadHook<HintRecorder, WH_GETMESSAGE> {
 public:
  explicit HintRecorder(ui::Label& label) : label_(label) {}
  const std::vector<std::string>& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }
  void Seen(WPARAM wparam, LPARAM lparam) {
    const auto* message = reinterpret_cast<const MSG*>(lparam);
    if (wparam != PM_REMOVE || message->message != WM_PAINT || message->hwnd != label_.Handle()) {
      return;
    }
    const std::string text = label_.Caption();
    if (texts_.empty() || texts_.back() != text) texts_.push_back(text);
  }

 private:
  ui::Label& label_;
  std::vector<std::string> texts_;
};

// The title of every balloon at the moment it is shown.
class BalloonRecorder : public ThreadHook<BalloonRecorder, WH_CALLWNDPROC> {
 public:
  const std::vector<std::string>& Titles() const { return titles_; }
  void Seen(WPARAM, LPARAM lparam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (message->message == WM_SHOWWINDOW && message->wParam && CurrentBalloon &&
        message->hwnd == CurrentBalloon->Handle()) {
      titles_.push_back(CurrentBalloon->TitleLabel.Caption());
    }
  }

 private:
  std::vector<std::string> titles_;
};

// ---- Helpers ---------------------------------------------------------------------------------

std::string Sending(const std::string& baseUrl) {
  return kSending + baseUrl + VerificationPath + kPleaseWait;
}

std::string ValidAnswer() { return PublishAnswer(ShareCode->GetFingerprint(), ShareCode->Key); }

void UseServers(const std::vector<std::string>& urls) {
  ServerList = std::make_unique<std::vector<std::string>>(urls);
  CurrentServer = urls.empty() ? std::string() : urls.front();
}

std::string RefusingServer() {
  return "http://127.0.0.1:" + std::to_string(THttpTestServer::UnusedPort()) + "/";
}

// Runs fn on another thread once the server has seen `count` requests (while the window's thread
// is blocked in the request).
std::thread WhenRequested(const THttpTestServer& server, std::size_t count,
                          std::function<void()> fn) {
  return std::thread([&server, count, fn] {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (server.Requests().size() < count && std::chrono::steady_clock::now() < deadline) {
      Sleep(10);
    }
    fn();
  });
}

class VerificationWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ui::App().Initialize();
    SetProductParameters();
    InitShareCode();
  }

  void SetUp() override {
    ui::App().ClearTerminated();
    form_ = std::make_unique<TFrmNetVerify>();
    hints_ = std::make_unique<HintRecorder>(form_->LblHint);
  }
  void TearDown() override {
    hints_.reset();
    form_.reset();
    ui::App().ProcessMessages();  // lets released balloons go
  }

  // Shows the window modally while the script runs; returns when the window has closed.
  void ShowWithScript(UiScript& script) {
    script.Start();
    form_->ShowModal();
    script.Stop();
    ui::App().ClearTerminated();
    EXPECT_TRUE(script.Finished()) << "step timed out: " << script.TimedOut();
  }
  UiScript MakeScript() {
    return UiScript([] { ui::App().Terminate(); });
  }
  // A click on the install button, then a close request once the click has been handled.
  void ClickThenClose() {
    UiScript script = MakeScript();
    script.Do("click", [&] { Click(); }).Do("close", [&] { Close(); });
    ShowWithScript(script);
  }
  void Close() { PostMessageW(form_->Handle(), WM_CLOSE, 0, 0); }

  // Clicks the install button; the hints are recorded from here on.
  void Click() {
    hints_->Clear();
    form_->BtnInstall.Click();
  }

  std::unique_ptr<TFrmNetVerify> form_;
  std::unique_ptr<HintRecorder> hints_;
  BalloonRecorder balloons_;
};

// ---- Tests -----------------------------------------------------------------------------------

// First server refuses, second answers: the hint shows both requests and the busy text between
// them and is emptied; one answer is fetched; the certification window shows the fingerprint,
// the product and today's date; closing it by its close box approves.
TEST_F(VerificationWindowTest, RefusedThenGenuineAnswerCertifies) {
  THttpTestServer answering, unused;
  answering.SetDefault(TServerBehaviour::Ok("  " + ValidAnswer() + "\r\n"));
  const std::string refused = RefusingServer();
  UseServers({refused, answering.BaseUrl(), unused.BaseUrl()});

  UiScript script = MakeScript();
  script
      .Do("screenshot",
          [&] { testing::SaveScreenshot(form_->Handle(), "verification-window-in-process"); })
      .Do("click install",
          [&] {
            EXPECT_TRUE(IsWindowVisible(form_->ProgressBar1.Handle()));
            // The keyboard reaches the check box (its one tab stop) without a Tab first.
            EXPECT_EQ(GetFocus(), form_->CbSafeCheck.Handle());
            Click();
          })
      .When(
          "certification shown",
          [&] {
            TFrmServerConfirm* confirm = form_->ConfirmWindow();
            return confirm && IsWindowVisible(confirm->Handle());
          },
          [&] {
            TFrmServerConfirm& confirm = *form_->ConfirmWindow();
            testing::SaveScreenshot(confirm.Handle(), "certification-window-in-process");
            EXPECT_EQ(confirm.LblMD5.Caption(), "软件MD5 : " + ShareCode->GetFingerprint());
            EXPECT_EQ(confirm.LbSoft.Caption(), "软件名称 : Pagrim");
            EXPECT_EQ(confirm.LblTime.Caption(), "发布时间 : " + Today());
            EXPECT_FALSE(IsWindowVisible(form_->LblHint.Handle()));
            PostMessageW(confirm.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
          });
  ShowWithScript(script);

  EXPECT_TRUE(form_->Approved);
  EXPECT_EQ(hints_->Texts(),
            (std::vector<std::string>{Sending(refused), kBusy, Sending(answering.BaseUrl())}));
  EXPECT_EQ(form_->LblHint.Caption(), "");
  // The answer's body drove the progress bar, which its end hid again.
  EXPECT_FALSE(IsWindowVisible(form_->ProgressBar1.Handle()));
  EXPECT_EQ(form_->ProgressBar1.Position(), 0);
  EXPECT_EQ(form_->ProgressBar1.Max(), static_cast<int>(ValidAnswer().size() + 4));
  ASSERT_EQ(answering.Requests().size(), 1u);
  EXPECT_EQ(answering.Requests()[0].rfind("GET /velmora/QORPG3.0ins.htm HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(unused.Requests().size(), 0u);
  EXPECT_TRUE(balloons_.Titles().empty());
}

// Redirects, 404 and 500 are failed requests: every server is asked, then the no-answer and the
// failure notices; the window stays open and a second click starts again at the first server.
TEST_F(VerificationWindowTest, FailedStatusesWarnAndStayOpen) {
  THttpTestServer redirecting, missing, broken;
  redirecting.SetDefault(TServerBehaviour::Redirect(302, missing.BaseUrl()));
  missing.SetDefault(TServerBehaviour::Status(404));
  broken.SetDefault(TServerBehaviour::Status(500));
  UseServers({redirecting.BaseUrl(), missing.BaseUrl(), broken.BaseUrl()});

  UiScript script = MakeScript();
  script
      .Do("first click",
          [&] {
            // The notices appear at the pointer: put it on the install button.
            RECT button{};
            GetWindowRect(form_->BtnInstall.Handle(), &button);
            SetCursorPos(button.left + 40, button.top + 13);
            Click();
            EXPECT_TRUE(IsWindowVisible(form_->Handle()));
            EXPECT_EQ(redirecting.Requests().size(), 1u);
            EXPECT_EQ(broken.Requests().size(), 1u);
            EXPECT_EQ(form_->LblHint.Caption(), kBusy);
            RECT window{}, balloon{}, shot{};
            GetWindowRect(form_->Handle(), &window);
            GetWindowRect(CurrentBalloon->Handle(), &balloon);
            UnionRect(&shot, &window, &balloon);
            InflateRect(&shot, 8, 8);
            testing::SaveScreenshot(shot, "failure-notice");
          })
      .Do("second click",
          [&] {
            form_->BtnInstall.Click();
            EXPECT_EQ(redirecting.Requests().size(), 2u);
          })
      .Do("close", [&] { Close(); });
  ShowWithScript(script);

  EXPECT_FALSE(form_->Approved);
  EXPECT_EQ(balloons_.Titles(),
            (std::vector<std::string>{kNoAnswerTitle, kFailedTitle, kNoAnswerTitle, kFailedTitle}));
  const std::vector<std::string> one_round{Sending(redirecting.BaseUrl()), kBusy,
                                           Sending(missing.BaseUrl()),     kBusy,
                                           Sending(broken.BaseUrl()),      kBusy};
  std::vector<std::string> two_rounds = one_round;
  two_rounds.insert(two_rounds.end(), one_round.begin(), one_round.end());
  EXPECT_EQ(hints_->Texts(), two_rounds);
}

TEST_F(VerificationWindowTest, EmptyServerListWarnsWithoutRequests) {
  UseServers({});
  ClickThenClose();
  EXPECT_FALSE(form_->Approved);
  EXPECT_EQ(balloons_.Titles(), (std::vector<std::string>{kNoAnswerTitle, kFailedTitle}));
  EXPECT_TRUE(hints_->Texts().empty());
}

// A click on the install button while a check runs is ignored: the servers are asked once.
TEST_F(VerificationWindowTest, ClickDuringCheckIsIgnored) {
  THttpTestServer slow, wrong;
  slow.SetDefault(TServerBehaviour::Stall(800));
  wrong.SetDefault(TServerBehaviour::Ok("nope"));
  UseServers({slow.BaseUrl(), wrong.BaseUrl()});
  HWND button = form_->BtnInstall.Handle();
  std::thread clicker = WhenRequested(slow, 1, [button] { testing::Click(button); });
  ClickThenClose();
  clicker.join();
  EXPECT_EQ(slow.Requests().size(), 1u);
  EXPECT_EQ(wrong.Requests().size(), 1u);
  EXPECT_EQ(balloons_.Titles(), (std::vector<std::string>{kFailedTitle}));
}

// A close request during a request abandons it: no approval, no notice, no further server, and
// no certification window although the request would have brought a genuine answer.
TEST_F(VerificationWindowTest, CloseDuringCheckEndsItUnapproved) {
  THttpTestServer slow, genuine;
  slow.SetDefault(TServerBehaviour::Late(1500, ValidAnswer()));
  genuine.SetDefault(TServerBehaviour::Ok(ValidAnswer()));
  UseServers({slow.BaseUrl(), genuine.BaseUrl()});
  HWND window = form_->Handle();
  std::thread closer = WhenRequested(slow, 1, [window] { PostMessageW(window, WM_CLOSE, 0, 0); });
  UiScript script = MakeScript();
  script.Do("click", [&] { Click(); });
  ShowWithScript(script);
  closer.join();
  EXPECT_FALSE(form_->Approved);
  EXPECT_EQ(genuine.Requests().size(), 0u);
  EXPECT_EQ(form_->ConfirmWindow(), nullptr);
  EXPECT_TRUE(balloons_.Titles().empty());
}

// A server that accepts and then says nothing holds the check for the whole response limit;
// meanwhile the window goes on answering the system: a window that stops taking messages would
// make SendMessageTimeout fail (at once with SMTO_ABORTIFHUNG once the system thinks it hung).
TEST_F(VerificationWindowTest, WindowAnswersWhileAServerStaysSilent) {
  THttpTestServer silent;
  silent.SetDefault(TServerBehaviour::Stall(60000));
  UseServers({silent.BaseUrl()});
  HWND window = form_->Handle();
  std::atomic<bool> checking{true};
  testing::Probes probes;
  std::thread prober = WhenRequested(silent, 1, [&] {
    testing::ProbeUntil(window, [&] { return !checking; }, std::chrono::minutes(1), probes);
  });
  UiScript script = MakeScript();
  script
      .Do("click",
          [&] {
            Click();
            checking = false;
          })
      .Do("close", [&] { Close(); });
  ShowWithScript(script);
  checking = false;
  prober.join();
  EXPECT_EQ(probes.unanswered, 0) << "of " << probes.sent << " probes";
  EXPECT_GT(probes.sent, 20);  // the limit is 15 s: the probes ran throughout
  EXPECT_EQ(hints_->Texts(), (std::vector<std::string>{Sending(silent.BaseUrl()), kBusy}));
  EXPECT_EQ(balloons_.Titles(), (std::vector<std::string>{kNoAnswerTitle, kFailedTitle}));
}

// ---- What other programs read ------------------------------------------------------------------

// Screen readers and UI automation read a window's text from the system, not from what it paints:
// each window's own and each control's text as created from the layout (a freed creation text
// shows up here, as garbage under Wine's heap checks). Texts of 16 bytes or more live on the heap.
TEST_F(VerificationWindowTest, EveryControlCarriesItsLayoutTextToTheSystem) {
  // On the heap: windows are too large for a test's frame.
  const auto confirm_window = std::make_unique<TFrmServerConfirm>(form_->Handle());
  const auto unzip_window = std::make_unique<TFrmUnzipSoft>();
  const auto plain = std::make_unique<ui::Form>(
      ui::FormArgs{.className = "TCreationTexts", .caption = "一个至少十六字节的窗口标题"});
  const auto long_box = std::make_unique<ui::CheckBox>(
      *plain, ui::CheckBoxArgs{.text = "一个至少十六字节的复选框文字"});
  const TFrmServerConfirm& confirm = *confirm_window;
  const TFrmUnzipSoft& unzip = *unzip_window;
  ShowBalloon(500, 400, "气球标题至少十六个字节", "气球消息至少十六个字节", biInfo, 0,
              bpBelowRight);
  ASSERT_TRUE(CurrentBalloon);
  const TBalloon& balloon = *CurrentBalloon;
  const std::string caption = ProductName + " 安装程序 2011.04.25";
  const std::string tip = form_->Label3.Caption();
  const std::string fingerprint = form_->LblExeMD5.Caption();
  const std::string home = "发布自" + HomeURL;
  const std::string extracting = unzip.Label1.Caption();
  const struct {
    const char* name;
    HWND window;
    std::string_view text;
  } rows[] = {
      {"verification window", form_->Handle(), caption},
      {"tip", form_->Label3.Handle(), tip},
      {"check box", form_->CbSafeCheck.Handle(), "防木马云验证"},
      {"install button", form_->BtnInstall.Handle(), ""},
      {"fingerprint", form_->LblExeMD5.Handle(), fingerprint},
      {"download link", form_->LblURL.Handle(), "下载软件最新版本"},
      {"hint", form_->LblHint.Handle(), "请您下载软件最新版本，或联系我们以获得技术支持。"},
      {"verification bar", form_->ProgressBar1.Handle(), ""},
      {"certification window", confirm.Handle(), "绿色认证"},
      {"release time", confirm.LblTime.Handle(), "发布时间：2011-04-23"},
      {"origin", confirm.Label2.Handle(), "来自QOR软件官方正式版"},
      {"home server", confirm.Label3.Handle(), home},
      {"result", confirm.Label4.Handle(), "验证结果：本软件未经过木马恶意串改,请您放心使用!!!"},
      {"extraction window", unzip.Handle(), "正在解压缩安装包..."},
      {"extraction text", unzip.Label1.Handle(), extracting},
      {"long caption", plain->Handle(), "一个至少十六字节的窗口标题"},
      {"long check box", long_box->Handle(), "一个至少十六字节的复选框文字"},
      {"balloon title", balloon.TitleLabel.Handle(), "气球标题至少十六个字节"},
      {"balloon text", balloon.TextLabel.Handle(), "气球消息至少十六个字节"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    wchar_t text[256] = {};
    GetWindowTextW(row.window, text, 256);
    EXPECT_EQ(ui::Narrow(text), row.text);
  }
}

// ---- Balloon ---------------------------------------------------------------------------------

class BalloonTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::App().Initialize(); }
  void TearDown() override { ui::App().ProcessMessages(); }
};

TEST_F(BalloonTest, AtCursorBelowRight) {
  SetCursorPos(500, 400);
  POINT at{};
  GetCursorPos(&at);
  ShowBalloonAtCursor("标题 Title", "第一行\r\n第二行，较长的消息");
  ASSERT_TRUE(CurrentBalloon);
  TBalloon& b = *CurrentBalloon;
  RECT rect{};
  GetWindowRect(b.Handle(), &rect);
  EXPECT_EQ(rect.left, at.x - 20);
  EXPECT_EQ(rect.top, at.y - 2);
  EXPECT_EQ(rect.bottom - rect.top, 50 + b.TitleLabel.Height() + b.TextLabel.Height());
  EXPECT_EQ(rect.right - rect.left,
            std::max(34 + b.TitleLabel.Width(), 10 + b.TextLabel.Width()) + 40);
  EXPECT_EQ(b.IconImage.Left(), 10);
  EXPECT_EQ(b.IconImage.Top(), 30);
  EXPECT_EQ(b.TitleLabel.Left(), 34);
  EXPECT_EQ(b.TitleLabel.Top(), 32);
  EXPECT_TRUE(b.HideTimer.Enabled());
  EXPECT_EQ(b.HideTimer.Interval(), 20000u);
  EXPECT_TRUE(b.CloseGlyph);
  EXPECT_TRUE(IsWindowVisible(b.Handle()));
  EXPECT_NE(GetWindowLongW(b.Handle(), GWL_EXSTYLE) & WS_EX_NOACTIVATE, 0);
  EXPECT_NE(GetWindowLongW(b.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // The shape: the body below the pointer band, and the pointer's base inside it.
  UniqueRegion shape(CreateRectRgn(0, 0, 1, 1));
  ASSERT_NE(GetWindowRgn(b.Handle(), shape.Get()), ERROR);
  EXPECT_FALSE(PtInRegion(shape.Get(), 60, 10));
  EXPECT_TRUE(PtInRegion(shape.Get(), 25, 20));
  EXPECT_TRUE(PtInRegion(shape.Get(), 60, 40));
  ui::App().ProcessMessages();
  testing::SaveScreenshot(b.Handle(), "balloon-below-right");

  // The same at the exact point (500, 400), whatever the pointer did.
  ShowBalloon(500, 400, "t", "m", biInfo, 20, bpBelowRight);
  GetWindowRect(CurrentBalloon->Handle(), &rect);
  EXPECT_EQ(rect.left, 480);
  EXPECT_EQ(rect.top, 398);
}

TEST_F(BalloonTest, AboveLeftAndReplacement) {
  ShowBalloon(500, 400, "  title  ", " \t message\r\n ", 7, 0, bpAboveLeft);
  ASSERT_TRUE(CurrentBalloon);
  HWND first = CurrentBalloon->Handle();
  RECT rect{};
  GetWindowRect(first, &rect);
  EXPECT_EQ(rect.left, 520 - (rect.right - rect.left));
  EXPECT_EQ(rect.top, 400 - (rect.bottom - rect.top));
  EXPECT_EQ(CurrentBalloon->TitleLabel.Caption(), "  title  ");
  EXPECT_EQ(CurrentBalloon->TextLabel.Caption(), "message");
  EXPECT_TRUE(CurrentBalloon->IconImage.HasPicture());  // code 7 shows the information icon
  EXPECT_FALSE(CurrentBalloon->HideTimer.Enabled());    // 0 seconds: stays until clicked

  auto start = std::chrono::steady_clock::now();
  ShowBalloon(100, 100, "second", "notice", biWarning, 5, bpBelowRight);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
  EXPECT_NE(CurrentBalloon->Handle(), first);
  EXPECT_TRUE(IsWindow(first));  // released, gone once the event loop runs
  ui::App().ProcessMessages();
  EXPECT_FALSE(IsWindow(first));
}

TEST_F(BalloonTest, PrepareKeepsTheOneBalloon) {
  PrepareBalloon(false, "http://www.example.com/");
  TBalloon* prepared = CurrentBalloon.get();
  PrepareBalloon(true, "http://www.example.com/");
  EXPECT_EQ(CurrentBalloon.get(), prepared);
  EXPECT_TRUE(BalloonOpenOnClick);
  SetBalloonOpenOnClick(false);
  EXPECT_FALSE(BalloonOpenOnClick);
}

}  // namespace
}  // namespace qor
