#include "verification/FrmCheckShareCode.h"

#include <shellapi.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "balloon/Balloon.h"
#include "base/text.h"
#include "params/allparam.h"
#include "params/product_settings.h"
#include "ui/application.h"
#include "verification/ShareCodeCheckunit.h"
#include "verification/window_resources.h"

namespace qor {
namespace {

constexpr char kCaptionSuffix[] = " 安装程序 2011.04.25";
constexpr char kTitleSuffix[] = "安装程序";
constexpr char kTipFormat[] =
    "温馨提示：%s已加入防木马恶意串改功能，请您使用默认选项[防木马验证]进行服务器认证码验证";
constexpr char kSending[] = "正在向服务器发送验证码：";
constexpr char kPleaseWait[] = "请稍候...";
constexpr char kServerBusy[] = "服务器繁忙，正在切换服务器，请稍候...";
constexpr char kNoAnswerTitle[] = "请您连接互联网已进行防木马云验证。";
constexpr char kNoAnswerMessage[] = "官方云验证可以避免木马程序恶意串改。";
constexpr char kFailedTitle[] =
    "服务器安全码验证失败，这可能是您没有连接互联网或此软件被恶意串改。";
constexpr char kFailedMessage[] = "请您到官方主页下载最新版本或联系我们以获得技术支持。";
constexpr char kCheckOffTitle[] = "防木马云验证可以避免QOR软件在互联网传播过程中被恶意串改";
constexpr char kCheckOffMessage[] = "强烈建议您选择此项以保护您电脑的安全，避免恶意木马的入侵。";
constexpr char kCopied[] = "已将软件MD5放入剪贴板，您可使用Ctrl+V粘贴到任何地方。";

const ui::FormArgs kLayout{
    .className = "TFrmNetVerify",
    .left = 49,
    .top = 176,
    .width = 676,
    .height = 155,
    .color = kWindowBackground,
    .font = SongTi({.height = 11, .color = ui::kWindowText}),
};

TShareCode& Checker() {
  if (!ShareCode) throw std::logic_error("the answer checker has not been set up");
  return *ShareCode;
}

// value in decimal, zero-padded to at least width digits (no printf formatting in setup code:
// src/runtime/README.md).
void AppendPadded(std::string& text, unsigned value, std::size_t width) {
  const std::string digits = DecimalText(value);
  if (digits.size() < width) text.append(width - digits.size(), '0');
  text += digits;
}

// Today's local date as yyyy-mm-dd.
std::string TodayText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::string text;
  AppendPadded(text, now.wYear, 4);
  text += '-';
  AppendPadded(text, now.wMonth, 2);
  text += '-';
  AppendPadded(text, now.wDay, 2);
  return text;
}

int ToProgress(std::int64_t count) {
  return static_cast<int>(std::clamp<std::int64_t>(count, 0, std::numeric_limits<int>::max()));
}

}  // namespace

TFrmNetVerify::TFrmNetVerify() : ui::Form(kLayout) {
  SetPopupMenu(&PopupMenu1);
  IdHTTP1.OnWorkBegin = [this](TWorkMode mode, std::int64_t expected) {
    IdHTTP1WorkBegin(mode, expected);
  };
  IdHTTP1.OnWork = [this](TWorkMode mode, std::int64_t count) { IdHTTP1Work(mode, count); };
  IdHTTP1.OnWorkEnd = [this](TWorkMode mode) { IdHTTP1WorkEnd(mode); };
  // A request waits with the window alive: its messages are handled every few milliseconds, and
  // a close request abandons the request at once.
  IdHTTP1.KeepWaiting = [this] { return ProcessMessagesDuringCheck(); };
  // A close request during a check ends it (the form is busy meanwhile); should it come while
  // the certification window shows, that closes too, confirming nothing.
  onClose = [this] {
    if (confirm_ && confirm_->IsModal()) confirm_->Close();
  };
  Invoke([this] { FormCreate(); });
}

void TFrmNetVerify::FormCreate() {
  PrepareBalloon(false, settings::HomeServerUrl());
  SetCaption(ProductName + kCaptionSuffix);
  ui::App().SetTitle(ProductName + kTitleSuffix);
  Label3.SetCaption(FormatText(kTipFormat, {ProductName}));
  LblExeMD5.SetCaption("md5 : " + Checker().GetFingerprint());
}

void TFrmNetVerify::BtnInstallClick() {
  if (Busy()) return;  // a click that arrives while the servers are asked
  Approved = false;
  if (CbSafeCheck.Checked()) {
    SetBusy(true);
    bool certified = false;
    try {
      certified = CheckWithServers();
    } catch (...) {
      SetBusy(false);
      throw;
    }
    SetBusy(false);
    if (CloseRequested()) {
      Close();
      return;
    }
    if (!certified) return;
  }
  Approved = true;
  Close();
}

bool TFrmNetVerify::ProcessMessagesDuringCheck() {
  // The window paints and moves, but clicks and keys in it wait for the check to end: dropped.
  ui::App().ProcessMessagesExceptInput(Handle());
  return !CloseRequested() && !ui::App().Terminated();
}

bool TFrmNetVerify::CheckWithServers() {
  std::string text;
  bool no_answer = true;
  const std::size_t count = ServerList ? ServerList->size() : 0;
  // Connections to every server are opened at once: servers that drop them, or a resolver that
  // never answers, then cost their limits side by side. The servers are still asked one after
  // the other.
  if (count > 0) IdHTTP1.ConnectAhead(*ServerList);
  for (std::size_t i = 0; i < count; ++i) {
    try {
      text = (*ServerList)[i] + VerificationPath;
      LblHint.SetCaption(kSending + text + kPleaseWait);
      if (!ProcessMessagesDuringCheck()) return false;
      text = IdHTTP1.Get(text);
      LblHint.SetCaption("");
      no_answer = false;
      break;
    } catch (const ESocketCancelled&) {
      return false;  // a close request: nothing more to ask or show
    } catch (...) {
      // Which error it was does not matter: the next server is asked.
      LblHint.SetCaption(kServerBusy);
      if (!ProcessMessagesDuringCheck()) return false;
    }
  }
  if (no_answer) ShowBalloonAtCursor(kNoAnswerTitle, kNoAnswerMessage);

  TShareCode& checker = Checker();
  if (!checker.JudgeResponse(text)) {
    LblHint.Show();
    ShowBalloonAtCursor(kFailedTitle, kFailedMessage);
    LblHint.Show();
    SetBalloonOpenOnClick(true);
    return false;
  }

  LblHint.Hide();
  // A close request that came with the last bytes of the answer still wins over the approval.
  if (!ProcessMessagesDuringCheck()) return false;
  if (!confirm_) confirm_ = std::make_unique<TFrmServerConfirm>(Handle());
  confirm_->LblMD5.SetCaption("软件MD5 : " + checker.GetFingerprint());
  confirm_->LbSoft.SetCaption("软件名称 : " + ProductName);
  confirm_->LblTime.SetCaption("发布时间 : " + TodayText());
  confirm_->ShowModal();
  return true;
}

void TFrmNetVerify::CbSafeCheckClick() {
  if (!CbSafeCheck.Checked()) ShowBalloonAtCursor(kCheckOffTitle, kCheckOffMessage);
}

void TFrmNetVerify::CopyFingerprintToClipboard() {
  // Saying it was copied when it was not would mislead the user.
  if (!ui::App().SetClipboardText(Checker().GetFingerprint())) {
    throw std::runtime_error("Cannot open clipboard");
  }
  ui::App().MessageBox(kCopied, MB_OK);
}

void TFrmNetVerify::md51Click() { CopyFingerprintToClipboard(); }

void TFrmNetVerify::BtnCopyToClipClick() { CopyFingerprintToClipboard(); }

void TFrmNetVerify::LblURLMouseDown(ui::MouseButton) {
  ShellExecuteA(ui::App().Handle(), "open", HomeURL.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TFrmNetVerify::IdHTTP1WorkBegin(TWorkMode, std::int64_t expectedCount) {
  ProgressBar1.Show();
  ProgressBar1.SetPosition(0);
  ProgressBar1.SetMax(ToProgress(expectedCount));
}

void TFrmNetVerify::IdHTTP1Work(TWorkMode, std::int64_t count) {
  ProgressBar1.SetPosition(ToProgress(count));
}

void TFrmNetVerify::IdHTTP1WorkEnd(TWorkMode) {
  ProgressBar1.SetPosition(0);
  ProgressBar1.Hide();
}

}  // namespace qor
