// Finding the DATAPACK resources and turning them into pictures. The layout
// checks and the decoding are platform-free (data_pack.cpp, jpeg_*.cpp); this
// file only locks the resources and picks them by id.
#include "assets/texture_loader_win.h"

#include <new>

#include "assets/data_pack.h"
#include "assets/font_atlas.h"
#include "assets/jpeg_decoder.h"
#include "res/resource_ids.h"

namespace {

// The decoder's one message: no caption of its own, no icon; owned by the
// window being started, since a box without an owner opens beneath a topmost
// saver window and the start would seem frozen.
void showJpegMessage(void* owner, const char* text) { MessageBoxA(static_cast<HWND>(owner), text, nullptr, MB_OK); }

// The images of a pack whose lengths add up to the resource's size exactly;
// a pack that does not is refused like a missing one.
bool lockPackImages(uint16_t id, int32_t count, PackImage* images) {
  uint32_t size = 0;
  const uint8_t* pack = lockDataPack(id, &size);
  return pack && readDataPack(pack, size, count, images);
}

bool loadSurfacePack(ScenePictures& pictures, uint16_t id, JpegMessages messages) {
  PackImage images[2];
  if (!lockPackImages(id, 2, images)) return false;
  pictures.lunarMap = decodeJpeg(images[0].data, images[0].length, messages);
  if (!pictures.lunarMap) return false;
  pictures.earthMap = decodeJpeg(images[1].data, images[1].length, messages);
  return pictures.earthMap != nullptr;
}

bool loadFontAtlas(ScenePictures& pictures, uint16_t id) {
  uint32_t size = 0;
  const uint8_t* atlas = lockDataPack(id, &size);
  if (!atlas || size != fontAtlasBytes) return false;
  pictures.fontAtlasImage = new (std::nothrow) RgbImage{fontAtlasSide, fontAtlasSide, const_cast<uint8_t*>(atlas)};
  return pictures.fontAtlasImage != nullptr;
}

bool loadGlowPack(ScenePictures& pictures, uint16_t id, JpegMessages messages) {
  PackImage image;
  if (!lockPackImages(id, 1, &image)) return false;
  pictures.sunGlowImage = decodeJpeg(image.data, image.length, messages);
  return pictures.sunGlowImage != nullptr;
}

}  // namespace

const uint8_t* lockDataPack(uint16_t id, uint32_t* size) {
  // The executable's own module: only the saver and the preview load pictures.
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "DATAPACK");
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (!loaded) return nullptr;
  const void* bytes = LockResource(loaded);
  if (!bytes) return nullptr;
  *size = SizeofResource(nullptr, resource);
  return static_cast<const uint8_t*>(bytes);
}

bool loadTextures(ScenePictures& pictures, int32_t textureQuality, HWND owner) {
  const JpegMessages messages{showJpegMessage, owner};
  const uint16_t qualityPack = textureQuality == 0   ? IDR_PACK_LOW
                               : textureQuality == 1 ? IDR_PACK_MEDIUM
                                                     : IDR_PACK_HIGH;
  return loadSurfacePack(pictures, qualityPack, messages) && loadFontAtlas(pictures, IDR_PACK_GLYPHS) &&
         loadGlowPack(pictures, IDR_PACK_SUN_GLOW, messages);
}
