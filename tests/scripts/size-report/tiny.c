#include <windows.h>
static const char kText[] = "size-report test program";
void __stdcall Start(void) {
  ExitProcess(lstrlenA(kText) == 0);
}
