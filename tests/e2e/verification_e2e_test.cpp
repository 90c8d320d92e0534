// setup programs driven from outside under Wine through the verification stage: nginx serving the
// answer the maker's tool published, the fault-injecting server, a closed port. Each run uses a
// fresh copy of the program in a folder of its own, so that what it writes can be checked.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>
#include <wchar.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/socket.h"
#include "support/windows/screenshot.h"
#include "support/windows/windows_helpers.h"
#include "verification/QORMD5Unit.h"

namespace qor::e2e {
namespace {

using namespace testing;  // the shared helpers of the Windows test programs

const std::string kNginx = "http://127.0.0.1:" + std::to_string(QOR_E2E_NGINX_PORT) + "/";
const std::string kFault = "http://127.0.0.1:" + std::to_string(QOR_E2E_FAULT_PORT) + "/";
const std::string kFailedTitle =
    "服务器安全码验证失败，这可能是您没有连接互联网或此软件被恶意串改。";
const std::string kSending = "正在向服务器发送验证码：";

// How often needle occurs in the file at path (nothing when it cannot be read).
std::size_t Occurrences(const std::string& path, const std::string& needle) {
  const std::string text = ReadFile(path);
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

// Requests nginx (or the second one) has answered so far: its access log's lines.
std::size_t NginxRequests(const char* instance = "nginx") {
  return Occurrences(ProgramFolder() + instance + "\\logs\\access.log", "\n");
}

HWND CheckBox(HWND form) {
  std::vector<HWND> boxes = Children(form, L"Button");
  return boxes.empty() ? nullptr : boxes.front();
}

// Makes shell_recorder.exe the handler of http addresses; launches are appended to a file.
class ShellLaunches {
 public:
  ShellLaunches() : log_(ProgramFolder() + "shell_launches.txt") {
    DeleteFileA(log_.c_str());
    std::string command = "\"" + ProgramFolder() + "shell_recorder.exe\" \"" + log_ + "\" \"%1\"";
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size()) + 1);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "http\\shell\\open\\ddeexec");
  }
  std::string Text() const { return ReadFile(log_); }

 private:
  std::string log_;
};

// The fault-injecting server as a program of its own, answering as script says.
class FaultServer {
 public:
  explicit FaultServer(const std::string& script)
      : scriptFile_(ProgramFolder() + "fault-script.txt"),
        requestsFile_(ProgramFolder() + "fault-requests.txt") {
    WriteFile(scriptFile_, script);
    DeleteFileA(requestsFile_.c_str());
    server_ = std::make_unique<ChildProcess>(ProgramFolder() + "qor_test_server.exe",
                                             "--port " + std::to_string(QOR_E2E_FAULT_PORT) +
                                                 " --seconds 120 --script \"" + scriptFile_ +
                                                 "\" --requests \"" + requestsFile_ + "\"");
    // Ready once it accepts connections.
    WaitUntil([] {
      try {
        TSocket::Connect("127.0.0.1", QOR_E2E_FAULT_PORT, 500);
        return true;
      } catch (const ESocketError&) {
        return false;
      }
    });
  }
  // Requests received, counted by their request lines.
  std::size_t Requests() const { return Occurrences(requestsFile_, "GET /"); }

 private:
  std::string scriptFile_;
  std::string requestsFile_;
  std::unique_ptr<ChildProcess> server_;
};

// True while a process of that image name runs.
bool ProcessRuns(const wchar_t* image) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    found = _wcsicmp(entry.szExeFile, image) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

// The pictures of the windows of a run are taken once each has painted.
void Painted(HWND window) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// One run of a setup program: a fresh copy in a folder of its own (so that what it writes can be
// checked), started with arguments, its verification window found (null when it did not show).
struct SetupRun {
  SetupRun(const std::string& program, const std::string& run, const std::string& arguments = "")
      : exe(FreshFolder(run) + "\\" + program.substr(program.find_last_of("\\/") + 1)),
        folder(exe.substr(0, exe.find_last_of('\\'))),
        copied(CopyFileW(Wide(program).c_str(), Wide(exe).c_str(), FALSE) != 0),
        process(exe, arguments),
        form(WaitForWindow(process.Id(), L"TFrmNetVerify")) {}

  bool Started() const { return copied && form; }
  HWND Notice() const { return Balloon(process.Id()); }

  // The window stayed, and closing it ends setup as EndedWritingNothing says.
  void CloseWritingNothing() {
    EXPECT_TRUE(IsWindowVisible(form));
    PostMessageW(form, WM_CLOSE, 0, 0);
    EndedWritingNothing();
  }
  // A close request (message, with HTCLOSE) ends setup within half a second, writing nothing: the
  // bound the design promises, not a benchmark.
  void ClosedAtOnceWritingNothing(UINT message) {
    const auto start = std::chrono::steady_clock::now();
    PostMessageW(form, message, HTCLOSE, 0);
    EXPECT_EQ(process.WaitForExit(Stretched(milliseconds(500))), 1u)
        << "after "
        << std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
               .count()
        << " ms";
    EndedWritingNothing();
  }
  // setup ended with 1, and nothing was written beside the program.
  void EndedWritingNothing() {
    EXPECT_EQ(process.WaitForExit(), 1u);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{exe.substr(folder.size() + 1)});
  }
  // setup ended with 0, having unpacked the package and started the installer with arguments.
  void ExpectInstallerStarted(const std::string& arguments) {
    EXPECT_EQ(process.WaitForExit(), 0u);
    EXPECT_TRUE(WaitUntil([&] {
      const std::string line = ReadFile(folder + "\\instPG-command-line.txt");
      return !line.empty() && line.find(arguments) != std::string::npos;
    })) << "no installer started with '"
        << arguments << "'";
    EXPECT_TRUE(Exists(folder + "\\install.dat"));
    EXPECT_TRUE(Exists(folder + "\\instPG.exe"));
  }

  std::string exe;
  std::string folder;
  bool copied;
  ChildProcess process;
  HWND form;
};

std::string Variant(const std::string& name) { return ProgramFolder() + name + ".exe"; }

// ---- Approvals: the certification window, then the installer starts ----------------------------

enum class ConfirmBy { kOkButton, kCloseBox };  // both approve

struct ApprovalCase {
  const char* name;
  std::string program;
  const char* arguments;  // setup's command line tail, which the installer must get
  const char* nginx;      // the nginx instance that must have answered once, or null
  ConfirmBy confirm;
  const char* screenshots;  // name prefix of the windows' pictures, or null for none
};

void RunApproval(const ApprovalCase& row) {
  SetupRun run(row.program, row.name, row.arguments);
  ASSERT_TRUE(run.Started()) << row.program;
  const std::size_t requests_before = row.nginx ? NginxRequests(row.nginx) : 0;
  const auto picture = [&](HWND window, const char* name) {
    if (!row.screenshots) return;
    Painted(window);
    testing::SaveScreenshot(window, std::string(row.screenshots) + name);
  };
  const std::string fingerprint = FileMD5Hex(run.exe);
  EXPECT_EQ(WindowText(run.form), "Pagrim 安装程序 2011.04.25");
  EXPECT_TRUE(ChildWithTextPrefix(run.form, L"TLabel", "md5 : " + fingerprint));
  picture(run.form, "-verification-window");
  Click(InstallButton(run.form));

  HWND confirm = WaitForWindow(run.process.Id(), L"TFrmServerConfirm");
  ASSERT_TRUE(confirm) << "the published answer was not accepted";
  EXPECT_EQ(WindowText(confirm), "绿色认证");
  EXPECT_TRUE(ChildWithTextPrefix(confirm, L"TLabel", "软件MD5 : " + fingerprint));
  EXPECT_TRUE(ChildWithTextPrefix(confirm, L"TLabel", "软件名称 : Pagrim"));
  EXPECT_TRUE(ChildWithTextPrefix(confirm, L"TLabel", "发布时间 : " + Today()));
  picture(confirm, "-certification-window");
  if (row.confirm == ConfirmBy::kCloseBox) {
    PostMessageW(confirm, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    // Its button lies in the button band (a panel).
    HWND ok = nullptr;
    for (HWND panel : Children(confirm, L"TPanel")) {
      std::vector<HWND> buttons = Children(panel, L"TSpeedButton");
      if (!buttons.empty()) ok = buttons.front();
    }
    ASSERT_TRUE(ok);
    Click(ok);
  }

  HWND extraction = WaitForWindow(run.process.Id(), L"TFrmUnzipSoft");
  ASSERT_TRUE(extraction);
  if (row.screenshots) {
    // A third of the bar: the picture shows it moving.
    HWND bar = FindWindowExW(extraction, nullptr, L"msctls_progress32", nullptr);
    WaitUntil([&] {
      DWORD_PTR position = 0;
      SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position);
      return position >= 60;
    });
    picture(extraction, "-extraction-window");
  }
  run.ExpectInstallerStarted(row.arguments);
  if (row.nginx) {
    EXPECT_EQ(NginxRequests(row.nginx), requests_before + 1);
  }
}

class Approval : public ::testing::TestWithParam<ApprovalCase> {};

TEST_P(Approval, CertifiedThenTheInstallerStarts) { RunApproval(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Programs, Approval,
    ::testing::Values(
        // A genuine package, end to end, through the certification window's button.
        ApprovalCase{"Genuine", Variant("e2e_genuine"), "/from-e2e", "nginx", ConfirmBy::kOkButton,
                     "e2e"},
        // The first server refuses (test mode puts a closed port first), the second answers:
        // one answer fetched; the close box of the certification window approves as well.
        ApprovalCase{"RefusedFirstServer", Variant("e2e_refuse_first"), "", "nginx2",
                     ConfirmBy::kCloseBox, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// A release that scripts/release built (signed, its servers a local nginx), named by
// QOR_E2E_RELEASE_SETUP; the release tests set it. The answer published for it is accepted.
TEST(ReleaseProgram, PublishedAnswerIsAcceptedAndTheInstallerStarts) {
  const char* release = std::getenv("QOR_E2E_RELEASE_SETUP");
  if (!release || !*release) GTEST_SKIP() << "QOR_E2E_RELEASE_SETUP names no release program";
  RunApproval({"release", release, "/release", nullptr, ConfirmBy::kCloseBox, nullptr});
}

// ---- Failures: the window stays, closing it ends the run with 1 and writes nothing ----------

// No server reachable: the notice appears at the pointer, (500, 400) here; a second click tries
// again and shows a new notice.
void AtThePointerThenANewNotice(SetupRun& run) {
  HWND first = run.Notice();
  RECT rect{};
  GetWindowRect(first, &rect);
  POINT at{};
  GetCursorPos(&at);
  EXPECT_EQ(rect.left, at.x - 20);
  EXPECT_EQ(rect.top, at.y - 2);
  testing::SaveScreenshot(first, "e2e-balloon");
  Click(InstallButton(run.form));
  // A new balloon window replaces the first.
  EXPECT_TRUE(WaitUntil([&] {
    HWND now = run.Notice();
    return now && now != first && BalloonTitle(now) == kFailedTitle;
  }));
}

// Another program's answer: the notice's first click opens the current server's address, a click
// on a later notice (the recommendation, with the check box off) only hides it.
void FirstClickOpensTheServer(SetupRun& run) {
  ShellLaunches shell;
  Click(run.Notice());
  ASSERT_TRUE(WaitUntil([&] { return !shell.Text().empty(); }));
  EXPECT_EQ(shell.Text(), kNginx + "\n");
  EXPECT_FALSE(run.Notice());  // hidden by the click
  SendMessageW(CheckBox(run.form), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return run.Notice() != nullptr; }));
  Click(run.Notice());
  ASSERT_TRUE(WaitUntil([&] { return run.Notice() == nullptr; }));
  run.CloseWritingNothing();
  // Once setup has ended, every address it opened has its handler started; once those have
  // ended, each has written its line.
  EXPECT_TRUE(WaitUntil([] { return !ProcessRuns(L"shell_recorder.exe"); }));
  EXPECT_EQ(shell.Text(), kNginx + "\n");
}

struct NoticeCase {
  const char* name;
  const char* variant;
  std::string faultScript;      // what the fault-injecting server answers; empty: none runs
  std::size_t faultRequests;    // the requests it had when setup ended
  void (*then)(SetupRun& run);  // what follows the notice, or null; it may end the run itself
};

class Notice : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(Notice, WindowStaysAndClosingWritesNothing) {
  const NoticeCase& row = GetParam();
  std::unique_ptr<FaultServer> server;
  if (!row.faultScript.empty()) server = std::make_unique<FaultServer>(row.faultScript);
  SetupRun run(Variant(row.variant), row.name);
  ASSERT_TRUE(run.Started());
  SetCursorPos(500, 400);
  Click(InstallButton(run.form));
  ASSERT_TRUE(WaitUntil([&] { return BalloonTitle(run.Notice()) == kFailedTitle; }));
  if (row.then) row.then(run);
  if (run.process.WaitForExit(milliseconds(0)) == STILL_ACTIVE) run.CloseWritingNothing();
  if (server) {
    EXPECT_EQ(server->Requests(), row.faultRequests);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Notice,
    ::testing::Values(
        // Redirect, 404 and 500 are failed requests; a 200 with an empty body ends the loop, and
        // no server is asked after it.
        NoticeCase{"FailedRequestsThenEmptyAnswer", "e2e_faulty",
                   "redirect 302 " + kFault + "elsewhere\nstatus 404\nstatus 500\nok\n", 4,
                   nullptr},
        NoticeCase{"NoServerReachable", "e2e_unreachable", "", 0, AtThePointerThenANewNotice},
        NoticeCase{"ForeignAnswer", "e2e_foreign", "", 0, FirstClickOpensTheServer}),
    [](const auto& info) { return std::string(info.param.name); });

// A close request while a request waits for its (genuine) answer: the window has stayed
// responsive, setup ends within half a second with 1, and nothing is written. The answer would
// come only later, so the certification window cannot have been shown.
TEST(VerificationEndToEnd, CloseDuringARequestEndsSetupAtOnce) {
  std::string answer = ReadFile(ProgramFolder() + "www-faulty\\velmora\\QORPG3.0ins.htm");
  ASSERT_FALSE(answer.empty());
  std::string escaped;
  for (char c : answer) {
    escaped += c == '\\' ? "\\\\" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  }
  FaultServer server("late 8000 " + escaped + "\n");
  SetupRun run(Variant("e2e_faulty"), "close-during-request");
  ASSERT_TRUE(run.Started());
  Click(InstallButton(run.form));
  // The server has the request: setup waits for the answer from here on.
  ASSERT_TRUE(WaitUntil([&] { return server.Requests() == 1; }));
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(run.form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                  Stretched(milliseconds(1000)).count(), &result));
  // Abandoning takes one wait slice (50 ms).
  run.ClosedAtOnceWritingNothing(WM_CLOSE);
}

// With the check box off the install button approves without a request and without a notice.
TEST(VerificationEndToEnd, CheckBoxOffApprovesWithoutRequest) {
  const std::size_t requests_before = NginxRequests();
  SetupRun run(Variant("e2e_genuine"), "check-off");
  ASSERT_TRUE(run.Started());
  HWND box = CheckBox(run.form);
  SendMessageW(box, BM_CLICK, 0, 0);  // off: a notice
  ASSERT_TRUE(WaitUntil([&] { return run.Notice() != nullptr; }));
  HWND notice = run.Notice();
  SendMessageW(box, BM_CLICK, 0, 0);  // on: nothing new (the click is handled when it returns)
  EXPECT_EQ(run.Notice(), notice);
  SendMessageW(box, BM_CLICK, 0, 0);  // off again
  ASSERT_TRUE(WaitUntil([&] { return run.Notice() != notice; }));
  HWND second = run.Notice();
  Click(InstallButton(run.form));
  ASSERT_TRUE(WaitForWindow(run.process.Id(), L"TFrmUnzipSoft"));
  EXPECT_EQ(run.Notice(), second);  // no further notice
  run.ExpectInstallerStarted("");
  EXPECT_EQ(NginxRequests(), requests_before);
}

// The context-menu item puts exactly the fingerprint on the clipboard.
TEST(VerificationEndToEnd, ContextMenuCopiesTheFingerprint) {
  SetupRun run(Variant("e2e_unreachable"), "clipboard");
  ASSERT_TRUE(run.Started());
  RECT rect{};
  GetWindowRect(run.form, &rect);
  PostMessageW(run.form, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(run.form),
               MAKELPARAM(rect.left + 100, rect.top + 60));
  ASSERT_TRUE(WaitForWindow(run.process.Id(), L"#32768"));
  PostMessageW(run.form, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(run.form, WM_KEYDOWN, VK_RETURN, 0);
  HWND box = WaitForWindow(run.process.Id(), L"#32770");
  ASSERT_TRUE(box);
  EXPECT_EQ(ClipboardText(), FileMD5Hex(run.exe));
  EXPECT_EQ(ClipboardText().size(), 32u);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return TopWindows(run.process.Id(), L"#32770").empty(); }));
  run.CloseWritingNothing();
}

// ---- The shipped program in private networks (made by tests/e2e/dead-resolver) ----------------

// A network whose resolver never answers, and what /etc/hosts says there (verification.cmake).
struct PrivateNetworkCase {
  const char* name;
  bool certified;  // a server answers; otherwise none does and the no-answer notice shows
};

class PrivateNetwork : public ::testing::TestWithParam<PrivateNetworkCase> {};

// The shipped program, whose servers are names. Throughout the check the window answers every
// probe and opens neither its context menu nor its system menu; the verdict comes within about one
// connect limit (10 s), not one per server, wherever the servers are lost: no name resolves, every
// server drops connection attempts, or the maker's five do and the first mirror answers. A close
// request then ends setup within half a second, writing nothing: pressed on the close box while a
// second check waits, or posted while the certification window shows.
TEST_P(PrivateNetwork, VerdictWithinOneLimitWindowResponsiveCloseAtOnce) {
  ASSERT_TRUE(std::getenv("QOR_E2E_DEAD_RESOLVER"))
      << "runs only in the private network that tests/e2e/dead-resolver makes";
  const PrivateNetworkCase& row = GetParam();
  SetupRun run(Variant("setup"), row.name);
  ASSERT_TRUE(run.Started());
  const HWND form = run.form;
  const auto clicked = std::chrono::steady_clock::now();
  Click(InstallButton(form));
  Probes probes;
  int polls = 0;
  bool menuShown = false;
  const bool judged = ProbeUntil(
      form,
      [&] {
        if (++polls == 20) {  // a second into the check: what would open the two menus
          RECT rect{};
          GetWindowRect(form, &rect);
          PostMessageW(form, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form),
                       MAKELPARAM(rect.left + 100, rect.top + 10));
          PostMessageW(form, WM_SYSCOMMAND, SC_KEYMENU, ' ');
        }
        menuShown = menuShown || !TopWindows(run.process.Id(), L"#32768").empty();
        return row.certified ? !TopWindows(run.process.Id(), L"TFrmServerConfirm").empty()
                             : run.Notice() != nullptr;
      },
      milliseconds(120000), probes);
  const auto verdict = std::chrono::steady_clock::now() - clicked;
  EXPECT_EQ(probes.unanswered, 0) << "of " << probes.sent << " probes";
  EXPECT_FALSE(menuShown);
  ASSERT_TRUE(judged);
  EXPECT_EQ(run.Notice() != nullptr, !row.certified);
  // The goal the design sets (one connect limit and a little), not a benchmark.
  EXPECT_LT(verdict, milliseconds(10000) + Stretched(milliseconds(2000)))
      << std::chrono::duration_cast<milliseconds>(verdict).count() << " ms";

  if (!row.certified) {
    // This time the close box is pressed, once the second check has begun its first server: it
    // closes on the press, with no tracking loop.
    Click(InstallButton(form));
    ASSERT_TRUE(WaitUntil([&] { return ChildWithTextPrefix(form, L"TLabel", kSending); }));
  }
  run.ClosedAtOnceWritingNothing(row.certified ? WM_CLOSE : WM_NCLBUTTONDOWN);
}

INSTANTIATE_TEST_SUITE_P(Networks, PrivateNetwork,
                         ::testing::Values(PrivateNetworkCase{"DeadResolver", false},
                                           PrivateNetworkCase{"SynsDropped", false},
                                           PrivateNetworkCase{"Partial", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qor::e2e
