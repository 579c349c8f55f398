// Finding the DATAPACK resources and turning them into pictures. The layout
// checks and the decoding are platform-free (data_pack.cpp, jpeg_*.cpp);
// this file only locks the resources and picks them by id.
#include "assets/texture_loader.h"

#include <windows.h>

#include <new>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"
#include "res/resource_ids.h"

RgbImage* lunarMap = nullptr;
RgbImage* earthMap = nullptr;
RgbImage* sunGlowImage = nullptr;
RgbImage* fontAtlasImage = nullptr;

// The decoder's one message: no caption of its own, no icon; owned by the
// window being started, since a box without an owner opens beneath a topmost
// saver window and the start would seem frozen.
static HWND jpegMessageOwner;
static void showJpegMessage(const char* text) { MessageBoxA(jpegMessageOwner, text, nullptr, MB_OK); }

const uint8_t* lockDataPack(uint16_t id, uint32_t* size) {
  // The executable's own: only the saver and the preview load pictures.
  HMODULE const resourceModule = nullptr;
  HRSRC resource = FindResourceA(resourceModule, MAKEINTRESOURCEA(id), "DATAPACK");
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(resourceModule, resource);
  if (!loaded) return nullptr;
  const void* bytes = LockResource(loaded);
  if (!bytes) return nullptr;
  *size = SizeofResource(resourceModule, resource);
  return static_cast<const uint8_t*>(bytes);
}

// The images of a pack whose lengths add up to the resource's size exactly;
// a pack that does not is refused like a missing one.
static bool lockPackImages(uint16_t id, int32_t count, PackImage* images) {
  uint32_t size = 0;
  const uint8_t* pack = lockDataPack(id, &size);
  return pack && readDataPack(pack, size, count, images);
}

bool loadSurfacePack(uint16_t id) {
  PackImage images[2];
  if (!lockPackImages(id, 2, images)) return false;
  lunarMap = decodeJpeg(images[0].data, images[0].length);
  if (!lunarMap) return false;
  earthMap = decodeJpeg(images[1].data, images[1].length);
  return earthMap != nullptr;
}

bool loadFontAtlas(uint16_t id) {
  uint32_t size = 0;
  const uint8_t* atlas = lockDataPack(id, &size);
  if (!atlas || size != kFontAtlasBytes) return false;
  fontAtlasImage = new (std::nothrow) RgbImage{256, 256, const_cast<uint8_t*>(atlas)};
  return fontAtlasImage != nullptr;
}

bool loadGlowPack(uint16_t id) {
  PackImage image;
  if (!lockPackImages(id, 1, &image)) return false;
  sunGlowImage = decodeJpeg(image.data, image.length);
  return sunGlowImage != nullptr;
}

static uint16_t qualityPack(int32_t quality) {
  if (quality == 0) return IDR_PACK_LOW;
  if (quality == 1) return IDR_PACK_MEDIUM;
  return IDR_PACK_HIGH;
}

bool loadTextures(int32_t textureQuality, void* owner) {
  jpegMessageOwner = static_cast<HWND>(owner);
  setJpegMessageHook(showJpegMessage);
  return loadSurfacePack(qualityPack(textureQuality)) && loadFontAtlas(IDR_PACK_GLYPHS) &&
         loadGlowPack(IDR_PACK_SUN_GLOW);
}
