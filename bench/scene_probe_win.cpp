// tavrin_bench_probe.scr: the real saver, timed from inside. The saver's code
// is linked in unchanged; the probe points this program's imports of a few
// system functions at wrappers that note the time, which marks the stages of
// the start without touching the saver:
//
//   process created     GetProcessTimes of this process
//   entry               this WinMain
//   context ready       wglMakeCurrent with a context returns
//   decode              first FindResourceA .. GetClientRect (loadTextures
//                       runs between them: three JPEG pictures, one atlas)
//   upload              first glGenTextures .. last gluBuild2DMipmaps returns
//                       (the atlas, then the three pictures with mipmaps)
//   first frame         the first SwapBuffers returns
//
// In the steady state it also splits each frame's work (glFlush, which the
// frame cycle calls right before drawing, to SwapBuffers returning): time in
// gluSphere (tessellation and the GL calls it makes), in glCallLists (the
// overlay's texts) and in SwapBuffers (the renderer finishing and presenting).
//
// After the first frame it lets WARMUP_MS pass, then counts frames, wall
// time and this process's CPU time for STEADY_MS, writes the figures as
// "name value" lines to the file named by TAVRIN_BENCH_REPORT and closes
// the saver. bench_scene.exe runs it and prints the table.
#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>

#include "host/host_win.h"
#include "host/system_modules_win.h"
#include "tools/harness/import_hook_win.h"

namespace {

constexpr double warmupMs = 2000.0;
constexpr double steadyMs = 10000.0;

// Milliseconds since the process was created, on the system clock, which is
// also the clock of the creation time.
double nowMs() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(now) - ticks(created)) / 10000.0;
}

// User plus kernel time of all threads of this process, in milliseconds.
double cpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

struct Marks {
  double entry = 0, contextReady = 0, decodeStart = 0, decodeEnd = 0, uploadStart = 0, uploadEnd = 0;
  double mipmaps[3] = {0, 0, 0};  // lunar map, Earth map, sun glow
  int mipmapCount = 0;
  double firstFrame = 0;
  // Steady state.
  long frames = 0;
  double steadyStart = 0, steadyCpu = 0;
  long steadyFrames = 0;
  double frameWorkSum = 0, frameWorkMax = 0;  // glFlush .. SwapBuffers returned
  double frameStart = 0;
  double sphereSum = 0, textSum = 0, swapSum = 0;  // over the steady frames
  bool done = false;
} marks;

char reportPath[MAX_PATH];

using MakeCurrentProc = BOOL(WINAPI*)(HDC, HGLRC);
using FindResourceProc = HRSRC(WINAPI*)(HMODULE, LPCSTR, LPCSTR);
using GetClientRectProc = BOOL(WINAPI*)(HWND, LPRECT);
using GenTexturesProc = void(WINAPI*)(GLsizei, GLuint*);
using Build2DMipmapsProc = GLint(WINAPI*)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*);
using FlushProc = void(WINAPI*)();
using SwapBuffersProc = BOOL(WINAPI*)(HDC);
using SphereProc = void(WINAPI*)(GLUquadric*, GLdouble, GLint, GLint);
using CallListsProc = void(WINAPI*)(GLsizei, GLenum, const void*);

MakeCurrentProc realMakeCurrent;
FindResourceProc realFindResource;
GetClientRectProc realGetClientRect;
GenTexturesProc realGenTextures;
Build2DMipmapsProc realBuild2DMipmaps;
FlushProc realFlush;
SwapBuffersProc realSwapBuffers;
SphereProc realSphere;
CallListsProc realCallLists;

BOOL WINAPI timedMakeCurrent(HDC dc, HGLRC context) {
  const BOOL result = realMakeCurrent(dc, context);
  if (context != nullptr && marks.contextReady == 0) marks.contextReady = nowMs();
  return result;
}

HRSRC WINAPI timedFindResource(HMODULE module, LPCSTR name, LPCSTR type) {
  if (marks.decodeStart == 0) marks.decodeStart = nowMs();
  return realFindResource(module, name, type);
}

BOOL WINAPI timedGetClientRect(HWND window, LPRECT rect) {
  if (marks.decodeStart != 0 && marks.decodeEnd == 0) marks.decodeEnd = nowMs();
  return realGetClientRect(window, rect);
}

void WINAPI timedGenTextures(GLsizei count, GLuint* names) {
  if (marks.uploadStart == 0) marks.uploadStart = nowMs();
  realGenTextures(count, names);
}

GLint WINAPI timedBuild2DMipmaps(GLenum target, GLint components, GLsizei width, GLsizei height, GLenum format,
                                 GLenum type, const void* pixels) {
  const double start = nowMs();
  const GLint result = realBuild2DMipmaps(target, components, width, height, format, type, pixels);
  marks.uploadEnd = nowMs();
  if (marks.mipmapCount < 3) marks.mipmaps[marks.mipmapCount++] = marks.uploadEnd - start;
  return result;
}

// The frame cycle calls glFlush right before drawing a frame.
void WINAPI timedFlush() {
  marks.frameStart = nowMs();
  realFlush();
}

// Time inside a call, added to `sum` once the steady state runs.
template <typename Call>
void timeInto(double& sum, Call call) {
  const double start = nowMs();
  call();
  if (marks.steadyStart != 0 && !marks.done) sum += nowMs() - start;
}

void WINAPI timedSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
  timeInto(marks.sphereSum, [&] { realSphere(quadric, radius, slices, stacks); });
}

void WINAPI timedCallLists(GLsizei count, GLenum type, const void* lists) {
  timeInto(marks.textSum, [&] { realCallLists(count, type, lists); });
}

void writeReport() {
  FILE* out = std::fopen(reportPath, "w");
  if (out == nullptr) return;
  const double steadyWall = nowMs() - marks.steadyStart;
  const double steadyCpu = cpuMs() - marks.steadyCpu;
  std::fprintf(out, "entry %.1f\ncontext %.1f\ndecode_start %.1f\ndecode_end %.1f\n", marks.entry, marks.contextReady,
               marks.decodeStart, marks.decodeEnd);
  std::fprintf(out, "upload_start %.1f\nupload_end %.1f\nmipmap_lunar %.1f\nmipmap_earth %.1f\nmipmap_glow %.1f\n",
               marks.uploadStart, marks.uploadEnd, marks.mipmaps[0], marks.mipmaps[1], marks.mipmaps[2]);
  std::fprintf(out, "first_frame %.1f\nsteady_ms %.1f\nsteady_frames %ld\nsteady_cpu_ms %.1f\n", marks.firstFrame,
               steadyWall, marks.steadyFrames, steadyCpu);
  const double frames = marks.steadyFrames > 0 ? marks.steadyFrames : 1;
  std::fprintf(out, "frame_work_mean %.3f\nframe_work_max %.3f\n", marks.frameWorkSum / frames, marks.frameWorkMax);
  std::fprintf(out, "sphere_mean %.3f\ntext_mean %.3f\nswap_mean %.3f\n", marks.sphereSum / frames,
               marks.textSum / frames, marks.swapSum / frames);
  std::fclose(out);
}

BOOL WINAPI timedSwapBuffers(HDC dc) {
  const double called = nowMs();
  const BOOL result = realSwapBuffers(dc);
  const double now = nowMs();
  if (++marks.frames == 1) marks.firstFrame = now;
  if (marks.done) return result;
  if (marks.steadyStart == 0) {
    if (now - marks.firstFrame >= warmupMs) {
      marks.steadyStart = now;
      marks.steadyCpu = cpuMs();
    }
    return result;
  }
  ++marks.steadyFrames;
  marks.swapSum += now - called;
  const double work = now - marks.frameStart;
  marks.frameWorkSum += work;
  if (work > marks.frameWorkMax) marks.frameWorkMax = work;
  if (now - marks.steadyStart >= steadyMs) {
    writeReport();
    marks.done = true;
    PostMessageA(hostState.mainWindow, WM_CLOSE, 0, 0);
  }
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  marks.entry = nowMs();
  GetEnvironmentVariableA("TAVRIN_BENCH_REPORT", reportPath, sizeof reportPath);
  // As the saver's own entry does; the redirections below need the bound imports.
  bindSystemModules();
  harness::delayLoadedImports = delayLoadedDlls;
  harness::redirectImport("opengl32.dll", "wglMakeCurrent", &timedMakeCurrent, &realMakeCurrent);
  harness::redirectImport("kernel32.dll", "FindResourceA", &timedFindResource, &realFindResource);
  harness::redirectImport("user32.dll", "GetClientRect", &timedGetClientRect, &realGetClientRect);
  harness::redirectImport("opengl32.dll", "glGenTextures", &timedGenTextures, &realGenTextures);
  harness::redirectImport("glu32.dll", "gluBuild2DMipmaps", &timedBuild2DMipmaps, &realBuild2DMipmaps);
  harness::redirectImport("opengl32.dll", "glFlush", &timedFlush, &realFlush);
  harness::redirectImport("gdi32.dll", "SwapBuffers", &timedSwapBuffers, &realSwapBuffers);
  harness::redirectImport("glu32.dll", "gluSphere", &timedSphere, &realSphere);
  harness::redirectImport("opengl32.dll", "glCallLists", &timedCallLists, &realCallLists);
  SaverEntry();
}
