// scene_screenshots.exe OUT_FOLDER: the pictures of README's "What it looks
// like", made from the saver's own frames (tavrin_probe.scr writes a
// chosen frame from its back buffer; under Wine a preview inside another
// program's window never reaches the screen, so a screen grab cannot show it).
//   full-screen.bmp - frame 400 of /s at the display's size
//   preview.bmp     - frame 200 of /p inside a 152 x 112 window, as the
//                     Display control panel shows it
// Settings used: the defaults, with Random Camera off so the view is the
// saver's own first view; the stored settings are put back afterwards.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

bool saveFrame(const std::string& arguments, int number, const std::string& out) {
  Screenshot frame;
  SYSTEMTIME time;
  return probeFrame(arguments, number, frame, time) && frame.saveBmp(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scene_screenshots OUT_FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "\\";
  writeDefaultSettings({{"Random Camera", 0}});
  bool ok = saveFrame("/s", 400, folder + "full-screen.bmp");

  RECT frame = {0, 0, 152, 112};  // the preview's client area
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND monitor = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, frame.right - frame.left,
                                  frame.bottom - frame.top, SW_SHOW);
  ok = saveFrame("/p " + std::to_string(reinterpret_cast<uintptr_t>(monitor)), 200, folder + "preview.bmp") && ok;
  std::printf(ok ? "pictures written to %s\n" : "failed: %s\n", argv[1]);
  return ok ? 0 : 1;
}
