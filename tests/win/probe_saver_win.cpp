// tavrin_probe.scr: the real saver with test probes that a test switches on
// through the environment variable TAVRIN_PROBE (read by this entry only):
//   count - counts the frame ticks the saver window takes from its queue and
//           publishes the number as the window property "TavrinFrames";
//   fault - writes through a null pointer in the saver's message loop on the
//           first frame tick, to prove the fault guard.
//
// The fault is raised in the loop itself, not in a window procedure or hook:
// Wine calls those through its kernel-callback dispatcher, which swallows
// their exceptions (64-bit Windows does the same for sent messages), so only
// a fault outside a callback shows what the guard does. The loop is reached by
// pointing this program's own import of GetMessageA at a wrapper.
#include <windows.h>

#include <cstring>

#include "host/host.h"

static char probeMode[16];
static LONG_PTR framesSeen;

using GetMessageProc = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
static GetMessageProc realGetMessage;

static bool isFrameTick(const MSG& message) {
  return message.message == WM_TIMER && message.hwnd && message.hwnd == hostState.mainWindow;
}

static BOOL WINAPI probeGetMessage(LPMSG message, HWND window, UINT first, UINT last) {
  const BOOL result = realGetMessage(message, window, first, last);
  if (result > 0 && isFrameTick(*message) && std::strcmp(probeMode, "fault") == 0) {
    *static_cast<volatile int*>(nullptr) = 1;
  }
  return result;
}

static LRESULT CALLBACK countingHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && isFrameTick(*message)) {
    ++framesSeen;
    SetPropA(message->hwnd, "TavrinFrames", reinterpret_cast<HANDLE>(framesSeen));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Replaces this module's import of user32's GetMessageA.
static void redirectGetMessage() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  FARPROC target = GetProcAddress(GetModuleHandleA("user32.dll"), "GetMessageA");
  for (; descriptor->Name; ++descriptor) {
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; slot->u1.Function; ++slot) {
      if (reinterpret_cast<FARPROC>(slot->u1.Function) != target) continue;
      DWORD oldProtection = 0;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &oldProtection);
      realGetMessage = reinterpret_cast<GetMessageProc>(reinterpret_cast<void*>(target));
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(&probeGetMessage);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, oldProtection, &oldProtection);
    }
  }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  GetEnvironmentVariableA("TAVRIN_PROBE", probeMode, sizeof probeMode);
  if (std::strcmp(probeMode, "fault") == 0) redirectGetMessage();
  SetWindowsHookExA(WH_GETMESSAGE, countingHook, nullptr, GetCurrentThreadId());
  SaverEntry();
}
