// tavrin_scene_probe.scr: the real saver that can hand one of its frames to a
// test. When TAVRIN_FRAME_DUMP names a file, the back buffer of frame
// TAVRIN_FRAME_DUMP_AT (default 60) is written there as a 24-bit BMP just
// before that frame is presented.
//
// Needed for the preview: under Wine on a display without a compositing
// window manager, GL drawn into a child window of another process never
// reaches the screen, so a screenshot shows nothing of it. Reading the frame
// inside the saver also gives the exact frame number, which fixes the sphere
// angles (they advance by a fixed step per frame).
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/host.h"
#include "tests/support/import_hook.h"

namespace {

using SwapBuffersProc = BOOL(WINAPI*)(HDC);
SwapBuffersProc realSwapBuffers;
char dumpPath[MAX_PATH];
long dumpFrame = 60;
long frames;

// The viewport's back buffer as a bottom-up BMP: GL's row order and, with a
// pack alignment of 4, its row padding are those of a DIB.
void dumpBackBuffer() {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2], height = viewport[3];
  const int stride = (width * 3 + 3) / 4 * 4;
  std::vector<char> bits(static_cast<std::size_t>(stride) * height);
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(viewport[0], viewport[1], width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE, bits.data());
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  // Written beside the target and renamed, so a reader never sees half a file.
  const std::string partial = std::string(dumpPath) + ".part";
  FILE* out = std::fopen(partial.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(bits.data(), 1, bits.size(), out);
  if (std::fclose(out) == 0) MoveFileExA(partial.c_str(), dumpPath, MOVEFILE_REPLACE_EXISTING);
}

BOOL WINAPI probeSwapBuffers(HDC dc) {
  if (++frames == dumpFrame) dumpBackBuffer();
  return realSwapBuffers(dc);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char frame[16] = {};
  if (GetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", frame, sizeof frame) > 0) {
    dumpFrame = std::strtol(frame, nullptr, 10);
  }
  if (GetEnvironmentVariableA("TAVRIN_FRAME_DUMP", dumpPath, sizeof dumpPath) > 0) {
    tavrin_test::redirectImport("gdi32.dll", "SwapBuffers", reinterpret_cast<const void*>(&probeSwapBuffers),
                                reinterpret_cast<void**>(&realSwapBuffers));
  }
  SaverEntry();
}
