#include "process/process_termination.h"

#include <windows.h>
// tlhelp32.h needs the types of windows.h.
#include <tlhelp32.h>

#include "base/handles_win32.h"
#include "process/process_match.h"

namespace qor {

// The ANSI entry, whose size field must say 296 on 32-bit Windows.
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 is 296 bytes");

namespace {

using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

struct ToolHelp {
  CreateSnapshotFunction create_snapshot = nullptr;
  ProcessWalkFunction first = nullptr;
  ProcessWalkFunction next = nullptr;
};

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

ToolHelp LookUpToolHelp() {
  ToolHelp found;
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    found.create_snapshot = Lookup<CreateSnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
    found.first = Lookup<ProcessWalkFunction>(kernel, "Process32First");
    found.next = Lookup<ProcessWalkFunction>(kernel, "Process32Next");
  }
  return found;
}

bool TerminateById(std::uint32_t id) {
  UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
  return process && TerminateProcess(process.Get(), 0) != FALSE;
}

}  // namespace

bool TerminateProcessesByImageName(const std::string& name) {
  try {
    static const ToolHelp tool_help = LookUpToolHelp();
    if (!tool_help.create_snapshot || !tool_help.first || !tool_help.next) return false;
    UniqueKernelHandle snapshot(tool_help.create_snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool first = true;
    auto next = [&](ProcessEntry& out) {
      BOOL got =
          first ? tool_help.first(snapshot.Get(), &entry) : tool_help.next(snapshot.Get(), &entry);
      first = false;
      if (!got) return false;
      out.id = entry.th32ProcessID;
      out.executable = ExecutableNameFromField(entry.szExeFile, sizeof entry.szExeFile);
      return true;
    };
    // A lambda, not the function itself (src/runtime/README.md: std::function).
    return TerminateMatching(name, next, [](std::uint32_t id) { return TerminateById(id); });
  } catch (...) {
    return false;
  }
}

}  // namespace qor
