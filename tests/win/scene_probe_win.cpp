// tavrin_scene_probe.scr: the real saver writing frame TAVRIN_FRAME_DUMP_AT to
// the file TAVRIN_FRAME_DUMP before presenting it: width, height (ints), the
// local time the overlay last read (SYSTEMTIME), B, G, R rows bottom-up. Tests
// see the preview so: GL in another process's child never reaches Wine's screen.
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/support/import_hook.h"

namespace {

BOOL(WINAPI* realSwapBuffers)(HDC);
void(WINAPI* realGetLocalTime)(LPSYSTEMTIME);
char dumpPath[MAX_PATH];
long dumpFrame, frames;
SYSTEMTIME lastTime;

void WINAPI recordingGetLocalTime(LPSYSTEMTIME time) {
  realGetLocalTime(time);
  lastTime = *time;
}

BOOL WINAPI dumpingSwapBuffers(HDC dc) {
  const std::string partial = std::string(dumpPath) + ".part";  // renamed once whole
  if (FILE* out = ++frames == dumpFrame ? std::fopen(partial.c_str(), "wb") : nullptr) {
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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char frame[16] = {};
  GetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", frame, sizeof frame);
  dumpFrame = std::atol(frame);
  if (GetEnvironmentVariableA("TAVRIN_FRAME_DUMP", dumpPath, sizeof dumpPath) > 0) {
    tavrin_test::redirectImport("gdi32.dll", "SwapBuffers", reinterpret_cast<const void*>(&dumpingSwapBuffers),
                                reinterpret_cast<void**>(&realSwapBuffers));
    tavrin_test::redirectImport("kernel32.dll", "GetLocalTime", reinterpret_cast<const void*>(&recordingGetLocalTime),
                                reinterpret_cast<void**>(&realGetLocalTime));
  }
  SaverEntry();
}
