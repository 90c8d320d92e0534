#include "extraction/UnzipSoftUnit.h"

#include <windows.h>

#include <shellapi.h>

#include "base/file_system.h"
#include "base/stream.h"
#include "base/text.h"
#include "base/wide_text.h"
#include "extraction/command_line.h"
#include "extraction/package.h"
#include "params/allparam.h"
#include "params/exit_codes.h"
#include "process/process_termination.h"
#include "ui/application.h"
#include "verification/window_resources.h"

namespace qor {

namespace {

const ui::FormArgs kLayout{
    .className = "TFrmUnzipSoft",
    .caption = "正在解压缩安装包...",
    .left = 197,
    .top = 284,
    .width = 662,
    .height = 101,
    .color = kWindowBackground,
    .font = {.face = "MS Sans Serif", .height = 11},
};

// Raised when the embedded package cannot be found or loaded.
class EResourceNotFound : public EStreamError {
 public:
  EResourceNotFound() : EStreamError("Resource Velmora not found") {}
};

// The program's own package resource (type and name match without regard to case).
ui::ResourceBytes FindPackageResource() {
  const ui::ResourceBytes resource = ui::FindResourceBytes("Velmora", "dat");
  if (!resource.data) throw EResourceNotFound();
  return resource;
}

}  // namespace

TFrmUnzipSoft::TFrmUnzipSoft() : Form(kLayout) { FormCreate(); }

void TFrmUnzipSoft::FormCreate() {
  Label1.SetCaption(
      FormatText("正在提取压缩包%s，并解压成%s，请等待...", {PackageFileName, InstallerFileName}));
  TerminateProcessesByImageName(InstallerFileName);
  TerminateProcessesByImageName(PackageFileName);
  Timer1.SetEnabled(true);
}

void TFrmUnzipSoft::Timer1Timer() {
  if (ProgressBar1.Position() < ProgressBar1.Max()) {
    ProgressBar1.StepIt();
    return;
  }
  Timer1.SetEnabled(false);
  try {
    ExtractAndLaunch();
  } catch (...) {
    // The window stays as it is: full bar, open until the user closes it.
    outcome_ = Outcome::kStuck;
  }
}

void TFrmUnzipSoft::ExtractAndLaunch() {
  ui::Application& app = ui::App();
  const ui::ResourceBytes package = FindPackageResource();
  // The program's own wide path: its folder may hold characters the ANSI code page lacks.
  const FilePath directory = ExecutablePath().Directory();
  app.ProcessMessages();
  const FilePath package_path = directory + PackageFileName;
  app.ProcessMessages();
  {
    // Created new or emptied, then the whole package in one write.
    TFileStream file(package_path, FileMode::kCreate);
    file.WriteExactly(package.data, package.size);
  }
  app.ProcessMessages();
  // An incomplete unpacking would leave a partial or stale installer: never start that.
  const bool unpacked = UnpackPackageFile(package_path, directory);
  app.ProcessMessages();
  if (!unpacked) {
    outcome_ = Outcome::kStuck;
    return;
  }
  const FilePath installer = directory + InstallerFileName;
  // Split as UTF-8, so an argument the ANSI code page cannot spell reaches the installer intact.
  const std::string parameters = CommandLineArgument(Utf8FromWide(GetCommandLineW()), 1);
  const auto result =
      reinterpret_cast<INT_PTR>(ShellExecuteW(app.Handle(), L"Open", WidePath(installer).data(),
                                              WideFromUtf8(parameters).data(), nullptr, SW_SHOW));
  app.ProcessMessages();
  // The program ends either way; only the exit code tells a calling script the launch failed.
  outcome_ = result > 32 ? Outcome::kStarted : Outcome::kLaunchFailed;
  app.Terminate();
}

int RunExtractionStage() {
  TFrmUnzipSoft window;
  window.ShowModal();
  switch (window.GetOutcome()) {
    case TFrmUnzipSoft::Outcome::kStarted:
      return kExitInstallerStarted;
    case TFrmUnzipSoft::Outcome::kStuck:
    case TFrmUnzipSoft::Outcome::kLaunchFailed:
      return kExitFailed;
    case TFrmUnzipSoft::Outcome::kFilling:
      break;
  }
  return kExitEndedByUser;
}

}  // namespace qor
