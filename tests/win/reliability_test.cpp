// Bad input against the real saver: damaged packs and a locked settings key.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "assets/data_pack.h"
#include "assets/texture_loader_win.h"
#include "res/resource_ids.h"
#include "tests/support/test_support_win.h"

using namespace harness;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

namespace {

TEST(DamagedResources, EachShowsExactlyItsMessagesDrawsNothingAndEndsCleanly) {
  writeDefaultSettings({{"Texture Quality", 0}});  // the smallest pack: quick to start and copy
  uint32_t size = 0;
  const uint8_t* bytes = lockDataPack(IDR_PACK_LOW, &size);  // this program's copy of the saver's resources
  const Bytes pack(bytes, bytes + size);
  PackImage images[2];
  ASSERT_TRUE(readDataPack(pack.data(), pack.size(), 2, images));
  const Bytes picture(images[0].data, images[0].data + images[0].length);
  const auto withFirst = [&](Bytes first) {  // the first picture replaced
    const PackImage parts[] = {{first.data(), int32_t(first.size())}, images[1]};
    return makeDataPack(parts, 2);
  };
  Bytes progressive = picture, pastEnd = pack;
  const uint8_t baseline[] = {0xFF, 0xC0}, startOfScan[] = {0xFF, 0xDA};
  const auto frame = std::search(progressive.begin() + 2, progressive.end(), baseline, baseline + 2);
  const size_t scan = std::search(picture.begin(), picture.end(), startOfScan, startOfScan + 2) - picture.begin();
  ASSERT_TRUE(frame != progressive.end() && scan < picture.size());
  frame[1] = 0xC2;    // the frame made a progressive one
  pastEnd[4] = 0x7F;  // the first length runs far past the resource
  const Bytes shortAtlas(100), progressivePack = withFirst(progressive),
                               cutInScan = withFirst(Bytes(&picture[0], &picture[(scan + picture.size()) / 2]));
  const Texts textures = {"Failed to load textures!"}, header = {"Can not read the file header", textures[0]};
  const std::tuple<const char*, int, const Bytes*, Texts> cases[] = {
      {"no low pack", IDR_PACK_LOW, nullptr, textures},
      {"no sun glow pack", IDR_PACK_SUN_GLOW, nullptr, textures},
      {"no glyph pack", IDR_PACK_GLYPHS, nullptr, textures},
      {"short glyph pack", IDR_PACK_GLYPHS, &shortAtlas, textures},
      {"progressive", IDR_PACK_LOW, &progressivePack, header},
      {"length past the end", IDR_PACK_LOW, &pastEnd, textures},
      {"cut in its scan", IDR_PACK_LOW, &cutInScan, {}},  // zero bits past the end: wrong pixels, no message
      {"settings key locked", 0, nullptr, {"Failed to open regestry key!"}}};  // and no pack is read
  // Copies of the probe saver, which logs its first frame tick: the window itself is visible from its creation, so
  // a start that fails shows it for a moment before the quit message ends the loop.
  const std::string copy = siblingPath("damaged.scr"), log = siblingPath("damaged-probe.log");
  const auto framed = [&] { return !linesStartingWith(log, "frame ").empty(); };
  for (const auto& [what, id, replacement, messages] : cases) {
    DeleteFileA(log.c_str());
    ChildProcess saver;
    std::unique_ptr<LockedSettingsKey> locked(id ? nullptr : new LockedSettingsKey);
    ASSERT_TRUE(copySaverWithPack(copy, id, replacement, siblingPath("tavrin_probe.scr")) &&
                saver.start("/s", copy, {{"TAVRIN_PROBE_LOG", log}}))
        << what;
    Texts shown, captions;  // of the message boxes, in order
    HWND box = nullptr;
    const auto settled = [&] {  // a message box, the end, or a frame
      box = waitForWindow("#32770", nullptr, saver.id(), 0);
      return box || !saver.running() || framed();
    };
    for (waitUntil(settled, 10000); box; waitUntil(settled, 10000)) {
      std::string text;  // a box is found as soon as it exists; its text (control 0xFFFF) comes with its controls
      waitUntil([&] { return !(text = windowText(GetDlgItem(box, 0xFFFF))).empty(); }, 3000);
      shown.push_back(text);
      captions.push_back(windowText(box) + " over " + windowText(GetWindow(box, GW_OWNER)));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      waitUntil([&] { return !IsWindow(box); }, 5000);
    }
    const bool drawn = framed();
    EXPECT_EQ(drawn, messages.empty()) << what;
    EXPECT_EQ(drawn ? saver.endWithKey(waitForSaverWindow(saver.id(), 1000)) : saver.exitCode(),
              messages.empty() ? 0 : -1)
        << what;
    if (!drawn) {
      EXPECT_FALSE(framed()) << what << ": a frame before the end";
    }
    EXPECT_EQ(shown, messages) << what;
    EXPECT_EQ(captions, Texts(messages.size(), "Error over Screen Saver")) << what << ": beneath the topmost window";
    const Texts lines = fileLines(log);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return !l.rfind("resource ", 0); }) > 0, id != 0)
        << what << ": a pack read";
  }
}

}  // namespace
