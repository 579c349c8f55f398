// Process entry and run modes: which of the four modes the command line asks
// for, and the exit code of each.
//
// Does not: keep any state between runs, or read anything but the command
// line and the platform family. One process runs one mode and ends.
#include <windows.h>

#include "config/config_dialog_win.h"
#include "host/host_win.h"
#include "host/run_mode.h"
#include "res/resource_ids.h"

HostState hostState;
HMODULE resourceModule = nullptr;

static const char* nextCharacter(const char* p) { return CharNextA(p); }

void SaverEntry() {
  const char* arguments = skipProgramName(GetCommandLineA(), nextCharacter);
  // ExitProcess at once: objects of static lifetime are not destroyed, so the
  // GL objects of a stopped scene are never touched without their context.
  ExitProcess(static_cast<UINT>(DispatchRunMode(GetModuleHandleA(nullptr), arguments)));
}

// MinGW's compiler has no __try/__except, so the guard around a run mode is
// the process's top-level filter: it asks the system's own filter (which
// shows the fault report or starts a debugger as configured) and, when that
// one decides the handler runs, leaves the system out of its saver-running
// state before the process goes.
static LONG WINAPI faultGuard(EXCEPTION_POINTERS* exception) {
  SetUnhandledExceptionFilter(nullptr);  // the system's filter calls the top-level one
  const LONG verdict = UnhandledExceptionFilter(exception);
  if (verdict == EXCEPTION_EXECUTE_HANDLER) {
    SetSaverRunning(FALSE);
    ExitProcess(static_cast<UINT>(faultExitCode));
  }
  return verdict;
}

static BOOL detectLegacyPlatform() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  // A failed call counts as the newer family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
  return known && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

static HWND ownerOrForeground(HWND owner) {
  if (!owner || !IsWindow(owner)) owner = GetForegroundWindow();
  return owner;
}

int DispatchRunMode(HINSTANCE instance, const char* arguments) {
  hostState.instance = instance;
  hostState.legacyPlatform = detectLegacyPlatform();
  SetUnhandledExceptionFilter(faultGuard);

  const RunRequest request = scanRunMode(arguments, hostState.legacyPlatform);
  switch (request.mode) {
    case RunMode::ConfigureUnowned: return RunConfiguration(nullptr);
    case RunMode::Configure:
      return RunConfiguration(ownerOrForeground(request.operand ? ParseWindowHandle(request.operand) : nullptr));
    case RunMode::Saver: return RunSaver(nullptr);
    case RunMode::Preview: return RunPreview(request.operand);
    case RunMode::PasswordChange: return RunPasswordChange(request.operand);
    case RunMode::Refused: break;
  }
  return -1;
}

HWND ParseWindowHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(parseHandleNumber(text)));
}

int RunPreview(const char* text) {
  HWND parent = ParseWindowHandle(text);
  if (!parent || !IsWindow(parent)) return -1;
  return RunSaver(parent);
}

int RunConfiguration(HWND owner) {
  if (!PrepareConfigDialog(hostState.instance)) return 0;
  return static_cast<int>(
      DialogBoxParamA(resourceModule, MAKEINTRESOURCEA(IDD_CONFIGURATOR), owner, ConfigDialogProc, 0));
}

BOOL PrepareConfigDialog(HINSTANCE instance) {
  resourceModule = instance;
  UseUnawareDialogThread();
  return TRUE;
}

int RunPasswordChange(const char* text) {
  ChangeSaverPassword(ownerOrForeground(ParseWindowHandle(text)));
  return 0;
}

void ChangeSaverPassword(HWND owner) {
  HMODULE module = LoadLibraryA("MPR.DLL");
  if (!module) return;
  auto change =
      reinterpret_cast<ChangePasswordProc>(reinterpret_cast<void*>(GetProcAddress(module, "PwdChangePasswordA")));
  if (change) change("SCRSAVE", owner, 0, 0);  // the service shows its own dialog; its result is not ours to judge
  FreeLibrary(module);
}
