// Screenshots taken by the window tests: a window (or the whole screen) as a 24-bit BMP named
// <name>.bmp in the folder QOR_SCREENSHOT_DIR names, or beside the test program.
#pragma once

#include <windows.h>

#include <string>

namespace qor::testing {

// Captures what the screen shows inside window's rectangle (the whole screen for null), after
// every window of this thread has been painted. Returns the file written, or empty on failure.
std::string SaveScreenshot(HWND window, const std::string& name);
// The same for a rectangle of the screen.
std::string SaveScreenshot(const RECT& rect, const std::string& name);

}  // namespace qor::testing
