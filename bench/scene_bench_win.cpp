// bench_scene: start-up and frame rate of the real saver at the screen's size
// (1024 x 768 on the bench display) with the default settings (texture
// quality 2: the 4096 x 2048 lunar map). Runs tavrin_bench_probe.scr (see
// scene_probe_win.cpp) a few times and prints, per run and as the median:
//   - time from process creation to the first presented frame, split into
//     decode, texture and mipmap upload, and the rest;
//   - the steady frame rate over 10 s and the CPU time per frame.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tools/harness/harness_win.h"

namespace {

constexpr int runs = 3;

using Report = std::map<std::string, double>;

bool readReport(const std::string& path, Report& report) {
  FILE* in = std::fopen(path.c_str(), "r");
  if (in == nullptr) return false;
  char name[64];
  double value = 0;
  while (std::fscanf(in, "%63s %lf", name, &value) == 2) report[name] = value;
  std::fclose(in);
  return report.count("steady_frames") == 1;
}

bool runProbe(const std::string& path, Report& report) {
  DeleteFileA(path.c_str());
  SetEnvironmentVariableA("TAVRIN_BENCH_REPORT", path.c_str());
  harness::ChildProcess probe;
  if (!probe.start("/s", harness::siblingPath("tavrin_bench_probe.scr"))) return false;
  DWORD code = 0;
  if (!probe.waitForExit(120000, &code)) {
    std::fprintf(stderr, "the probe did not finish\n");
    return false;
  }
  return readReport(path, report);
}

struct Figures {
  double firstFrame, decode, upload, rest, mipmapLunar, framesPerSecond, cpuPerFrame, cpuShare, workMean, workMax,
      sphere, text, swap;
};

Figures figuresOf(Report& r) {
  Figures f{};
  f.firstFrame = r["first_frame"];
  f.decode = r["decode_end"] - r["decode_start"];
  f.upload = r["upload_end"] - r["upload_start"];
  f.rest = f.firstFrame - f.decode - f.upload;
  f.mipmapLunar = r["mipmap_lunar"];
  f.framesPerSecond = r["steady_frames"] / (r["steady_ms"] / 1000.0);
  f.cpuPerFrame = r["steady_frames"] > 0 ? r["steady_cpu_ms"] / r["steady_frames"] : 0.0;
  f.cpuShare = r["steady_cpu_ms"] / r["steady_ms"];
  f.workMean = r["frame_work_mean"];
  f.workMax = r["frame_work_max"];
  f.sphere = r["sphere_mean"];
  f.text = r["text_mean"];
  f.swap = r["swap_mean"];
  return f;
}

void printRow(const char* label, const Figures& f) {
  std::printf("%-7s %7.0f %7.0f %7.0f %7.0f %7.1f %8.2f %5.0f%% %7.2f %7.1f %7.2f %7.2f %7.2f\n", label, f.firstFrame,
              f.decode, f.upload, f.rest, f.framesPerSecond, f.cpuPerFrame, f.cpuShare * 100.0, f.workMean, f.workMax,
              f.sphere, f.text, f.swap);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  harness::writeDefaultSettings();
  std::printf("bench_scene: tavrin.scr /s at %dx%d, default settings (texture quality 2), %d runs\n",
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), runs);
  std::printf("start-up in ms from process creation: first presented frame = decode + upload + rest\n");
  std::printf(
      "steady state over 10 s after 2 s: frames per second, CPU ms per frame and CPU share of\n"
      "one core; a frame's work (ms, glFlush to SwapBuffers returned), mean and max, and its\n"
      "mean split: gluSphere (both spheres), glCallLists (texts), SwapBuffers\n");
  std::printf("%-7s %7s %7s %7s %7s %7s %8s %6s %7s %7s %7s %7s %7s\n", "run", "frame1", "decode", "upload", "rest",
              "fps", "cpu/frm", "cpu", "work", "max", "sphere", "text", "swap");
  std::vector<Figures> all;
  for (int run = 1; run <= runs; ++run) {
    Report report;
    if (!runProbe(harness::siblingPath("bench-scene-report.txt"), report)) {
      std::fprintf(stderr, "run %d gave no report\n", run);
      return 1;
    }
    const Figures f = figuresOf(report);
    printRow(std::to_string(run).c_str(), f);
    all.push_back(f);
    if (run == 1) {
      std::printf(
          "        (run 1 marks: entry %.0f, context %.0f, decode %.0f..%.0f, upload %.0f..%.0f, "
          "mipmaps of lunar map / Earth / glow %.0f / %.0f / %.0f)\n",
          report["entry"], report["context"], report["decode_start"], report["decode_end"], report["upload_start"],
          report["upload_end"], report["mipmap_lunar"], report["mipmap_earth"], report["mipmap_glow"]);
    }
  }
  auto pick = [&](double Figures::*field) {
    std::vector<double> values;
    for (const Figures& f : all) values.push_back(f.*field);
    return median(values);
  };
  const Figures m{pick(&Figures::firstFrame),  pick(&Figures::decode),      pick(&Figures::upload),
                  pick(&Figures::rest),        pick(&Figures::mipmapLunar), pick(&Figures::framesPerSecond),
                  pick(&Figures::cpuPerFrame), pick(&Figures::cpuShare),    pick(&Figures::workMean),
                  pick(&Figures::workMax),     pick(&Figures::sphere),      pick(&Figures::text),
                  pick(&Figures::swap)};
  printRow("median", m);
  return 0;
}
