#include "scene/scene_options.h"

void applyPreviewOverrides(SceneOptions& options) {
  options.settings.showInfo = false;
  options.settings.starsAmount = 3000;
  options.starPointSizeMax = options.starPointSizeMin;
  options.settings.textureQuality = 0;
}
