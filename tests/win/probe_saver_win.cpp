// The real saver with probes (built as tavrin_probe.scr and tavrin_scene_probe.scr), switched on by its environment:
//   TAVRIN_PROBE=fault  writes through a null pointer in the message loop (through this program's import of
//     GetMessageA: Wine swallows faults in window procedures and hooks) at the first frame tick;
//   TAVRIN_PROBE_LOG=<file>  appends "spi <action> <uiParam>" for every SystemParametersInfoA call, "query <name>" for
//     every registry value read, "resource <id>" for every resource looked for, and at the first frame the settings
//     in use;
//   TAVRIN_FRAME_DUMP=<file>  writes frame TAVRIN_FRAME_DUMP_AT there before presenting it: width, height (ints), the
//     local time the overlay last read (SYSTEMTIME), B, G, R rows bottom-up (GL in another process's child never
//     reaches Wine's screen). Always: the window's property "TavrinFrames" counts the frame ticks taken.
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/support/import_hook.h"
#include "tests/win/probe_log.h"

static char logPath[MAX_PATH], dumpPath[MAX_PATH];
static LONG_PTR framesSeen;
static long dumpFrame, framesPresented;
static SYSTEMTIME lastTime;
static BOOL(WINAPI* realGetMessage)(LPMSG, HWND, UINT, UINT);
static BOOL(WINAPI* realSystemParameters)(UINT, UINT, PVOID, UINT);
static LONG(WINAPI* realQueryValue)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
static BOOL(WINAPI* realSwapBuffers)(HDC);
static void(WINAPI* realGetLocalTime)(LPSYSTEMTIME);
static HRSRC(WINAPI* realFindResource)(HMODULE, LPCSTR, LPCSTR);

static bool isFrameTick(const MSG& message) {
  return message.message == WM_TIMER && message.hwnd && message.hwnd == hostState.mainWindow;
}

static BOOL WINAPI faultingGetMessage(LPMSG message, HWND window, UINT first, UINT last) {
  const BOOL result = realGetMessage(message, window, first, last);
  if (result > 0 && isFrameTick(*message)) *static_cast<volatile int*>(nullptr) = 1;
  return result;
}

static BOOL WINAPI loggedSystemParameters(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
  appendLine(logPath, "spi %u %u", action, uiParam);
  return realSystemParameters(action, uiParam, pvParam, winIni);
}

static LONG WINAPI loggedQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  appendLine(logPath, "query %.200s", name ? name : "");
  return realQueryValue(key, name, reserved, type, data, size);
}

static HRSRC WINAPI loggedFindResource(HMODULE module, LPCSTR name, LPCSTR type) {
  if (IS_INTRESOURCE(name)) appendLine(logPath, "resource %u", unsigned(reinterpret_cast<uintptr_t>(name)));
  return realFindResource(module, name, type);
}

static void WINAPI recordingGetLocalTime(LPSYSTEMTIME time) {
  realGetLocalTime(time);
  lastTime = *time;
}

static BOOL WINAPI dumpingSwapBuffers(HDC dc) {
  const std::string partial = std::string(dumpPath) + ".part";  // renamed once whole
  if (FILE* out = ++framesPresented == dumpFrame ? std::fopen(partial.c_str(), "wb") : nullptr) {
    GLint view[4] = {};
    glGetIntegerv(GL_VIEWPORT, view);
    std::vector<char> bits(std::size_t(view[2]) * view[3] * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(view[0], view[1], view[2], view[3], GL_BGR_EXT, GL_UNSIGNED_BYTE, bits.data());
    std::fwrite(view + 2, sizeof(GLint), 2, out);
    std::fwrite(&lastTime, sizeof lastTime, 1, out);
    std::fwrite(bits.data(), 1, bits.size(), out);
    if (std::fclose(out) == 0) MoveFileExA(partial.c_str(), dumpPath, MOVEFILE_REPLACE_EXISTING);
  }
  return realSwapBuffers(dc);
}

static LRESULT CALLBACK countingHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && isFrameTick(*message)) {
    if (framesSeen++ == 0) appendLine(logPath, "%s", settingsLine(settings).c_str());
    SetPropA(message->hwnd, "TavrinFrames", reinterpret_cast<HANDLE>(framesSeen));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using tavrin_test::redirectImport;
  char mode[16] = {};
  GetEnvironmentVariableA("TAVRIN_PROBE", mode, sizeof mode);
  if (std::strcmp(mode, "fault") == 0)
    redirectImport("user32.dll", "GetMessageA", &faultingGetMessage, &realGetMessage);
  if (GetEnvironmentVariableA("TAVRIN_PROBE_LOG", logPath, sizeof logPath) >= sizeof logPath) logPath[0] = '\0';
  if (logPath[0]) {
    redirectImport("user32.dll", "SystemParametersInfoA", &loggedSystemParameters, &realSystemParameters);
    redirectImport("advapi32.dll", "RegQueryValueExA", &loggedQueryValue, &realQueryValue);
    redirectImport("kernel32.dll", "FindResourceA", &loggedFindResource, &realFindResource);
  }
  if (GetEnvironmentVariableA("TAVRIN_FRAME_DUMP", dumpPath, sizeof dumpPath) > 0) {
    GetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", mode, sizeof mode);
    dumpFrame = std::atol(mode);
    redirectImport("gdi32.dll", "SwapBuffers", &dumpingSwapBuffers, &realSwapBuffers);
    redirectImport("kernel32.dll", "GetLocalTime", &recordingGetLocalTime, &realGetLocalTime);
  }
  SetWindowsHookExA(WH_GETMESSAGE, countingHook, nullptr, GetCurrentThreadId());
  SaverEntry();
}
