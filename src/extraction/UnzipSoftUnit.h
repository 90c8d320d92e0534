// The extraction window: fills its bar for about 1.8 seconds, writes the embedded install package
// beside the program, unpacks it there and starts the installer with the program's first argument.
#pragma once

#include "ui/components.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace qor {

class TFrmUnzipSoft : public ui::Form {
 public:
  // Where a run of the window ended up.
  enum class Outcome {
    kFilling,       // the bar was still filling (or the work had not finished) when it closed
    kStarted,       // the installer was handed to the shell and termination requested
    kStuck,         // a step of the work failed; the window stayed open with a full bar
    kLaunchFailed,  // the shell could not start the installer; termination requested all the same
  };

  // Creates the window (hidden) and runs FormCreate: ends running installers, starts the timer.
  TFrmUnzipSoft();

  Outcome GetOutcome() const { return outcome_; }

  ui::Label Label1{*this, {.left = 16, .top = 12, .width = 425, .height = 13, .autoSize = false}};
  ui::ProgressBar ProgressBar1{*this,
                               {.left = 0,
                                .top = 50,
                                .width = 654,
                                .height = 17,
                                .min = 0,
                                .max = 180,
                                .step = 10,
                                .position = 0,
                                .align = ui::Align::kBottom}};
  ui::Timer Timer1{*this,
                   {.interval = 100, .enabled = false, .onTimer = [this] { Timer1Timer(); }}};

  void FormCreate();
  void Timer1Timer();

 private:
  void ExtractAndLaunch();
  Outcome outcome_ = Outcome::kFilling;
};

// Shows the extraction window modally, owned by the application, and returns the process exit
// code for how it ended (see SetupExitCode).
int RunExtractionStage();

}  // namespace qor
