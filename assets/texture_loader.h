// The four pictures of the scene, taken from the DATAPACK resources.
//
// Decoded once per run and kept until the process ends; the GL textures made
// from them are the only other copies.
#pragma once

#include <cstdint>

#include "assets/rgb_image.h"

extern RgbImage* lunarMap;        // first image of the quality pack
extern RgbImage* earthMap;        // second image of the quality pack
extern RgbImage* sunGlowImage;    // pack 105
extern RgbImage* fontAtlasImage;  // pack 106: 256 x 256 one-byte samples, the resource's own bytes

// Decodes the quality pack chosen by textureQuality (0, 1, else 2), wraps the
// glyph atlas and decodes the sun glow; false at the first one that is
// missing or damaged (nothing of the earlier ones is undone). Shows no
// message of its own; a picture with an unreadable header shows the
// decoder's message, owned by `owner` (the saver window, over which it
// must come up).
bool loadTextures(int32_t textureQuality, void* owner);

// The steps of loadTextures, each for one resource id.
const uint8_t* lockDataPack(uint16_t id, uint32_t* size);
bool loadSurfacePack(uint16_t id);
bool loadFontAtlas(uint16_t id);
bool loadGlowPack(uint16_t id);
