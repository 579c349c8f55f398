// The real saver with probes (built as tavrin_probe.scr), switched on by its environment:
//   TAVRIN_PROBE=fault  writes through a null pointer in the message loop (through this program's import of
//     GetMessageA: Wine swallows faults in window procedures and hooks) at the first frame tick;
//   TAVRIN_PROBE=slowstart  runs a modal loop for 1.5 s inside the scene's start (at its first resource lookup), as a
//     message box shown while it starts does, logging "start loop" when it begins;
//   TAVRIN_PROBE=noframes  takes every frame tick away before the scene sees it (still counted): the window shows only
//     what the system paints;
//   TAVRIN_PROBE_LOG=<file>  appends "start <its file name>" when it starts (a copy under another name, planted where
//     the saver might start it, says so), "spi <action> <uiParam>" for every SystemParametersInfoA call, "query <name>"
//     for every registry value read, "resource <id>" for every resource looked for, "class cursor <0|1>" for the window
//     class, "cursor <0|1>" for every SetCursor (0: hidden), "default syscommand <hex>" for every WM_SYSCOMMAND passed
//     to DefWindowProcA, "com <flags hex>" for every CoInitializeEx found by name and called, "shell <verb> <file>
//     <parameters or -> <show>" for every ShellExecuteA (which then opens nothing, unless TAVRIN_PROBE_SHELL=open
//     passes it on), "timer <id> <milliseconds>" for every SetTimer; at the first frame tick "frame 1", then "look <eye
//     x y z> <centre x y z>" for the first gluLookAt and "points <count> <size> <smooth 0|1>" for every star layer
//     drawn, and from inside the first SwapBuffers "buffers <double-buffered format 0|1> <draw buffer hex>" and
//     "texture <width> <height> <luminance 0|1> <min filter hex> <mag filter hex>" for every texture object;
//   TAVRIN_PROBE_HIDE=<function>  has GetProcAddress answer null for that function, as a Windows without it does;
//   TAVRIN_FRAME_DUMP=<file>  writes frame TAVRIN_FRAME_DUMP_AT there before presenting it: width, height (ints), the
//     local time the overlay last read (SYSTEMTIME), B, G, R rows bottom-up (GL in another process's child never
//     reaches Wine's screen), every tick followed by another at once, so that it comes sooner (the scene counts
//     frames, not time). Always: the window's property "TavrinFrames" counts the frame ticks taken.
#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_win.h"
#include "host/system_modules_win.h"
#include "tools/harness/import_hook_win.h"
#include "tools/harness/probe_log.h"

static char logPath[MAX_PATH], dumpPath[MAX_PATH], probeModes[64], hiddenFunction[64];
static LONG_PTR framesSeen;
static long dumpFrame, framesPresented;
static SYSTEMTIME lastTime;
static BOOL(WINAPI* realGetMessage)(LPMSG, HWND, UINT, UINT);
static BOOL(WINAPI* realSystemParameters)(UINT, UINT, PVOID, UINT);
static LONG(WINAPI* realQueryValue)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
static BOOL(WINAPI* realSwapBuffers)(HDC);
static void(WINAPI* realGetLocalTime)(LPSYSTEMTIME);
static HRSRC(WINAPI* realFindResource)(HMODULE, LPCSTR, LPCSTR);
static ATOM(WINAPI* realRegisterClass)(const WNDCLASSA*);
static HCURSOR(WINAPI* realSetCursor)(HCURSOR);
static LRESULT(WINAPI* realDefWindowProc)(HWND, UINT, WPARAM, LPARAM);
static void(WINAPI* realPointSize)(GLfloat);
static void(WINAPI* realDrawArrays)(GLenum, GLint, GLsizei);
static HINSTANCE(WINAPI* realShellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
static UINT_PTR(WINAPI* realSetTimer)(HWND, UINT_PTR, UINT, TIMERPROC);
static void(WINAPI* realLookAt)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble,
                                GLdouble);
static FARPROC(WINAPI* realGetProcAddress)(HMODULE, LPCSTR);
static HRESULT(WINAPI* realCoInitializeEx)(void*, DWORD);
static bool shellOpens;
static GLfloat pointSize;

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

static bool probing(const char* what) { return std::strstr(probeModes, what) != nullptr; }

// The modal loop of a message box, without the box.
static void runModalLoop(DWORD milliseconds) {
  appendLine(logPath, "start loop");
  for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  }
}

static HRSRC WINAPI loggedFindResource(HMODULE module, LPCSTR name, LPCSTR type) {
  static bool looped = false;
  if (probing("slowstart") && !looped) {
    looped = true;
    runModalLoop(1500);
  }
  if (IS_INTRESOURCE(name)) appendLine(logPath, "resource %u", unsigned(reinterpret_cast<uintptr_t>(name)));
  return realFindResource(module, name, type);
}

static UINT_PTR WINAPI loggedSetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
  appendLine(logPath, "timer %u %u", unsigned(id), milliseconds);
  return realSetTimer(window, id, milliseconds, procedure);
}

static void WINAPI loggedLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY,
                                GLdouble centreZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
  if (framesPresented == 0)
    appendLine(logPath, "look %.5g %.5g %.5g %.5g %.5g %.5g", eyeX, eyeY, eyeZ, centreX, centreY, centreZ);
  realLookAt(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ);
}

static ATOM WINAPI loggedRegisterClass(const WNDCLASSA* windowClass) {
  appendLine(logPath, "class cursor %d", windowClass->hCursor != nullptr);
  return realRegisterClass(windowClass);
}

static HCURSOR WINAPI loggedSetCursor(HCURSOR cursor) {
  appendLine(logPath, "cursor %d", cursor != nullptr);
  return realSetCursor(cursor);
}

static LRESULT WINAPI loggedDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND) appendLine(logPath, "default syscommand %x", unsigned(wParam));
  return realDefWindowProc(window, message, wParam, lParam);
}

static void WINAPI loggedPointSize(GLfloat size) {
  pointSize = size;
  realPointSize(size);
}

static void WINAPI loggedDrawArrays(GLenum mode, GLint first, GLsizei count) {
  if (framesPresented == 0 && mode == GL_POINTS) {
    appendLine(logPath, "points %d %.3g %d", count, pointSize, glIsEnabled(GL_POINT_SMOOTH));
  }
  realDrawArrays(mode, first, count);
}

// Not passed on unless asked: a test must not start a browser or a mail program. The result says the shell opened it.
static HINSTANCE WINAPI loggedShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                                           INT show) {
  appendLine(logPath, "shell %s %s %s %d", verb ? verb : "-", file ? file : "-", parameters ? parameters : "-", show);
  if (shellOpens) return realShellExecute(window, verb, file, parameters, folder, show);
  return reinterpret_cast<HINSTANCE>(33);
}

static HRESULT WINAPI loggedCoInitializeEx(void* reserved, DWORD flags) {
  appendLine(logPath, "com %lx", flags);
  return realCoInitializeEx(reserved, flags);
}

// The hidden function is missing; CoInitializeEx, found so, is watched.
static FARPROC WINAPI probedGetProcAddress(HMODULE module, LPCSTR name) {
  if (IS_INTRESOURCE(name)) return realGetProcAddress(module, name);
  if (std::strcmp(name, hiddenFunction) == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  const FARPROC found = realGetProcAddress(module, name);
  if (!found || !logPath[0] || std::strcmp(name, "CoInitializeEx") != 0) return found;
  std::memcpy(&realCoInitializeEx, &found, sizeof found);
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&loggedCoInitializeEx));
}

// The window's pixel format as set, and where GL draws.
static void logBuffers(HDC dc) {
  PIXELFORMATDESCRIPTOR format = {};
  DescribePixelFormat(dc, GetPixelFormat(dc), sizeof format, &format);
  GLint drawBuffer = 0;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  appendLine(logPath, "buffers %d %x", (format.dwFlags & PFD_DOUBLEBUFFER) != 0, drawBuffer);
}

// Every texture object as GL has it. The frame binds what it draws, so the binding left here does not matter.
static void logTextures() {
  for (GLuint name = 1; name < 64; ++name) {
    if (!glIsTexture(name)) continue;
    GLint width = 0, height = 0, format = 0, minFilter = 0, magFilter = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    appendLine(logPath, "texture %d %d %d %x %x", width, height,
               format == GL_LUMINANCE || format == 1 || format == GL_LUMINANCE8, minFilter, magFilter);
  }
}

static void WINAPI recordingGetLocalTime(LPSYSTEMTIME time) {
  realGetLocalTime(time);
  lastTime = *time;
}

static BOOL WINAPI probedSwapBuffers(HDC dc) {
  if (framesPresented == 0 && logPath[0]) {
    logBuffers(dc);
    logTextures();
  }
  if (++framesPresented != dumpFrame) return realSwapBuffers(dc);
  const std::string partial = std::string(dumpPath) + ".part";  // renamed once whole
  if (FILE* out = std::fopen(partial.c_str(), "wb")) {
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
    if (framesSeen++ == 0) appendLine(logPath, "frame 1");
    SetPropA(message->hwnd, "TavrinFrames", reinterpret_cast<HANDLE>(framesSeen));
    if (framesSeen < dumpFrame) PostMessageA(message->hwnd, WM_TIMER, 1, 0);  // the next tick at once
    if (probing("noframes")) const_cast<MSG*>(message)->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using harness::redirectImport;
  bindSystemModules();  // as the saver's own entry does; the redirections need the bound imports
  harness::delayLoadedImports = delayLoadedDlls;
  GetEnvironmentVariableA("TAVRIN_PROBE", probeModes, sizeof probeModes);
  if (probing("fault")) redirectImport("user32.dll", "GetMessageA", &faultingGetMessage, &realGetMessage);
  if (GetEnvironmentVariableA("TAVRIN_PROBE_HIDE", hiddenFunction, sizeof hiddenFunction) >= sizeof hiddenFunction)
    hiddenFunction[0] = '\0';
  if (GetEnvironmentVariableA("TAVRIN_PROBE_LOG", logPath, sizeof logPath) >= sizeof logPath) logPath[0] = '\0';
  if (hiddenFunction[0] || logPath[0])
    redirectImport("kernel32.dll", "GetProcAddress", &probedGetProcAddress, &realGetProcAddress);
  if (logPath[0]) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
    appendLine(logPath, "start %s", std::strrchr(self, '\\') ? std::strrchr(self, '\\') + 1 : self);
    redirectImport("user32.dll", "SystemParametersInfoA", &loggedSystemParameters, &realSystemParameters);
    redirectImport("advapi32.dll", "RegQueryValueExA", &loggedQueryValue, &realQueryValue);
    redirectImport("kernel32.dll", "FindResourceA", &loggedFindResource, &realFindResource);
    redirectImport("user32.dll", "RegisterClassA", &loggedRegisterClass, &realRegisterClass);
    redirectImport("user32.dll", "SetCursor", &loggedSetCursor, &realSetCursor);
    redirectImport("user32.dll", "DefWindowProcA", &loggedDefWindowProc, &realDefWindowProc);
    redirectImport("opengl32.dll", "glPointSize", &loggedPointSize, &realPointSize);
    redirectImport("opengl32.dll", "glDrawArrays", &loggedDrawArrays, &realDrawArrays);
    redirectImport("shell32.dll", "ShellExecuteA", &loggedShellExecute, &realShellExecute);
    redirectImport("user32.dll", "SetTimer", &loggedSetTimer, &realSetTimer);
    redirectImport("glu32.dll", "gluLookAt", &loggedLookAt, &realLookAt);
    char shell[8] = {};
    shellOpens =
        GetEnvironmentVariableA("TAVRIN_PROBE_SHELL", shell, sizeof shell) > 0 && std::strcmp(shell, "open") == 0;
  }
  if (GetEnvironmentVariableA("TAVRIN_FRAME_DUMP", dumpPath, sizeof dumpPath) > 0) {
    char number[16] = {};
    GetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", number, sizeof number);
    dumpFrame = std::atol(number);
    redirectImport("kernel32.dll", "GetLocalTime", &recordingGetLocalTime, &realGetLocalTime);
  }
  if (logPath[0] || dumpPath[0]) redirectImport("gdi32.dll", "SwapBuffers", &probedSwapBuffers, &realSwapBuffers);
  SetWindowsHookExA(WH_GETMESSAGE, countingHook, nullptr, GetCurrentThreadId());
  SaverEntry();
}
