// The entry point of setup.exe.
#include <windows.h>

#include "driver/setup_driver.h"

namespace {

// A downloaded setup.exe usually sits among other downloads: DLLs planted beside it must never be
// loaded. Looked up at run time because Windows 7 without its update lacks the function.
void RestrictDllSearchToSystem32() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  auto set_directories = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_directories) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystem32();
  return qor::RunSetup();
}
