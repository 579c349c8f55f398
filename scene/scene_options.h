// What the start hands to the scene's set-up and frames: the settings as read
// and the star layers' point sizes, lightened in the preview. Platform-free.
#pragma once

#include "config/settings.h"

struct SceneOptions {
  Settings settings;
  float starPointSizeMin = 0.1f;  // the small stars
  float starPointSizeMax = 2.2f;  // the large stars; the medium ones lie halfway
};

// The preview is a thumbnail: no texts but the logo, 3000 stars all of the
// smallest size, the smallest pictures. In memory only: nothing is stored.
void applyPreviewOverrides(SceneOptions& options);
