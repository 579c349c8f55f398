// scene_screenshots.exe OUT_FOLDER: the pictures of README's "What it looks
// like", made from the saver's own frames (tavrin_scene_probe.scr writes a
// chosen frame from its back buffer; under Wine a preview inside another
// program's window never reaches the screen, so a screen grab cannot show it).
//   full-screen.bmp - frame 400 of /s at the display's size
//   preview.bmp     - frame 200 of /p inside a 152 x 112 window, as the
//                     Display control panel shows it
// Settings used: the defaults, with Random Camera off so the view is the
// saver's own first view.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string besideMe(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

void writeSettings() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orvane\\Tavrin", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  const struct {
    const char* name;
    DWORD value;
  } values[] = {{"Show Earth", 1},     {"Show Stars", 1},      {"Smooth Stars", 1},       {"Stars Amount", 10000},
                {"Random Camera", 0},  {"Show Info", 1},       {"Show Time", 1},          {"Show FPS", 1},
                {"Animation Speed", 30}, {"Camera Speed", 30}, {"Texture Filtartion", 2}, {"Texture Quality", 2}};
  for (const auto& v : values) {
    RegSetValueExA(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.value), sizeof v.value);
  }
  RegCloseKey(key);
}

// Runs the probe saver with `arguments` until it has written frame `frame`,
// then ends it and turns the dump into a 24-bit BMP at `out`.
bool dumpFrame(const std::string& arguments, int frame, const std::string& out) {
  const std::string dump = out + ".dump";
  DeleteFileA(dump.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP", dump.c_str());
  SetEnvironmentVariableA("TAVRIN_FRAME_DUMP_AT", std::to_string(frame).c_str());
  const std::string probe = besideMe("tavrin_scene_probe.scr");
  std::string line = "\"" + probe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(probe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  bool written = false;
  for (int wait = 0; wait < 6000 && !written; ++wait) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    written = GetFileAttributesA(dump.c_str()) != INVALID_FILE_ATTRIBUTES;
    Sleep(10);
  }
  PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (!written) return false;

  FILE* in = std::fopen(dump.c_str(), "rb");
  int size[2] = {};
  SYSTEMTIME time;
  if (!in || std::fread(size, sizeof size, 1, in) != 1 || std::fread(&time, sizeof time, 1, in) != 1) return false;
  const int rowBytes = size[0] * 3, stride = (rowBytes + 3) & ~3;
  std::vector<char> rows(static_cast<size_t>(stride) * size[1]);
  for (int y = 0; y < size[1]; ++y) std::fread(&rows[static_cast<size_t>(y) * stride], 1, rowBytes, in);
  std::fclose(in);
  DeleteFileA(dump.c_str());

  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
  header.biSize = sizeof header;
  header.biWidth = size[0];
  header.biHeight = size[1];
  header.biPlanes = 1;
  header.biBitCount = 24;
  FILE* bmp = std::fopen(out.c_str(), "wb");
  if (!bmp) return false;
  std::fwrite(&file, sizeof file, 1, bmp);
  std::fwrite(&header, sizeof header, 1, bmp);
  std::fwrite(rows.data(), 1, rows.size(), bmp);
  return std::fclose(bmp) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scene_screenshots OUT_FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "\\";
  writeSettings();
  bool ok = dumpFrame("/s", 400, folder + "full-screen.bmp");

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TavrinPreviewMonitor";
  RegisterClassA(&windowClass);
  RECT frame = {0, 0, 152, 112};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND monitor = CreateWindowExA(0, windowClass.lpszClassName, "Preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
  ok = dumpFrame("/p " + std::to_string(reinterpret_cast<uintptr_t>(monitor)), 200, folder + "preview.bmp") && ok;
  std::printf(ok ? "pictures written to %s\n" : "failed: %s\n", argv[1]);
  return ok ? 0 : 1;
}
