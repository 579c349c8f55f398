// scene_screenshots.exe OUT_FOLDER: the pictures of README's "What it looks
// like", made from the saver's own frames (tavrin_probe.scr writes a
// chosen frame from its back buffer; under Wine a preview inside another
// program's window never reaches the screen, so a screen grab cannot show it).
//   full-screen.bmp - frame 400 of /s at the display's size
//   preview.bmp     - frame 200 of /p inside a 152 x 112 window, as the
//                     Display control panel shows it
// scene_screenshots.exe OUT_FOLDER dialog: the configuration dialog of the
// real tavrin.scr /c as it is on the screen, one picture per tab:
//   config-settings.bmp, config-about.bmp
// Settings used: the defaults, with Random Camera off so the view is the
// saver's own first view; the settings key is deleted afterwards.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "res/resource_ids.h"
#include "tools/harness/harness_win.h"

using namespace harness;

namespace {

bool saveFrame(const std::string& arguments, int number, const std::string& out) {
  Screenshot frame;
  SYSTEMTIME time;
  return probeFrame(arguments, number, frame, time) && frame.saveBmp(out);
}

bool saveDialog(const std::string& folder) {
  ChildProcess saver;
  HWND dialog =
      saver.start("/c") ? waitForWindow("#32770", "Tavrin Screen Saver Configurator", saver.id(), 10000) : nullptr;
  bool ok = dialog != nullptr;
  for (const char* page : {"settings", "about"}) {
    if (!ok) break;
    SendMessageA(GetDlgItem(dialog, IDC_TABS), TCM_SETCURFOCUS, std::string(page) == "about", 0);
    waitUntil([] { return false; }, 500);  // time to paint the page
    RECT box;
    GetWindowRect(dialog, &box);
    ok = captureScreen(box).saveBmp(folder + "config-" + page + ".bmp");
  }
  if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return saver.exitCode() == 0 && ok;
}

bool saveScenes(const std::string& folder) {
  bool ok = saveFrame("/s", 400, folder + "full-screen.bmp");
  RECT frame = {0, 0, 152, 112};  // the preview's client area
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND monitor = createTestWindow(DefWindowProcA, WS_OVERLAPPEDWINDOW, frame.right - frame.left,
                                  frame.bottom - frame.top, SW_SHOW);
  return saveFrame("/p " + std::to_string(reinterpret_cast<uintptr_t>(monitor)), 200, folder + "preview.bmp") && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool dialog = argc == 3 && std::string(argv[2]) == "dialog";
  if (argc != 2 && !dialog) {
    std::fprintf(stderr, "usage: scene_screenshots OUT_FOLDER [dialog]\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "\\";
  writeDefaultSettings({{"Random Camera", 0}});
  const bool ok = dialog ? saveDialog(folder) : saveScenes(folder);
  deleteSettingsKey();
  std::printf(ok ? "pictures written to %s\n" : "failed: %s\n", argv[1]);
  return ok ? 0 : 1;
}
