// The four pictures of the scene, taken from the DATAPACK resources.
#pragma once

struct RgbImage;

extern RgbImage* lunarMap;
extern RgbImage* earthMap;
extern RgbImage* sunGlowImage;
extern RgbImage* fontAtlasImage;

// Decodes the quality pack chosen by the settings, wraps the glyph atlas and
// decodes the sun glow; false at the first one that is missing or damaged.
bool loadTextures();
