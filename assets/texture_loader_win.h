// The four pictures of the scene, taken from the executable's DATAPACK
// resources: decoded once per run and kept until the process ends; the GL
// textures made from them are the only other copies.
#pragma once

#include <windows.h>

#include <cstdint>

#include "assets/rgb_image.h"

struct ScenePictures {
  RgbImage* lunarMap = nullptr;        // first image of the quality pack
  RgbImage* earthMap = nullptr;        // second image of the quality pack
  RgbImage* sunGlowImage = nullptr;    // pack 105
  RgbImage* fontAtlasImage = nullptr;  // pack 106: the resource's own bytes, not copied
};

// Decodes the quality pack chosen by textureQuality (0, 1, else 2), wraps the
// glyph atlas and decodes the sun glow; false at the first one that is
// missing or damaged (nothing of the earlier ones is undone). Shows no
// message of its own; a picture with an unreadable header shows the decoder's
// message, owned by `owner` (the saver window, over which it must come up).
bool loadTextures(ScenePictures& pictures, int32_t textureQuality, HWND owner);

// The pack's bytes and size; null when the resource is missing.
const uint8_t* lockDataPack(uint16_t id, uint32_t* size);
