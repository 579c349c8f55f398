// Scene set-up: runs once, with the context current, the settings loaded
// (preview overrides applied) and the four pictures decoded, before the
// projection is set. It reads as a list of steps: fixed GL state, quadrics,
// filters, the font texture, the picture textures, font, camera, stars.
//
// Nothing here reports failure: a texture that GL refuses draws untextured,
// and a star layer that cannot be generated draws nothing.
//
// Not here: decoding (assets/), the projection (gl_context_win.cpp), any
// per-frame state (frame_win.cpp).
#include <initializer_list>

#include "assets/font_atlas.h"
#include "scene/scene_win.h"

namespace {

// The settings' "Texture Filtartion" choices, indexed by their stored value.
// Magnification is always linear; "Linear" means nearest-texel minification.
struct FilterChoice {
  GLenum minFilter;
  GLenum magFilter;
};
constexpr FilterChoice filterChoices[] = {
    {GL_NEAREST, GL_LINEAR},               // 0 "Linear"
    {GL_LINEAR, GL_LINEAR},                // 1 "Bilinear"
    {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},  // 2 "Trilinear"
};
constexpr int filterChoiceCount = sizeof filterChoices / sizeof filterChoices[0];

// State for the whole run. Texturing, blending and point smoothing are
// switched on only around the drawing that needs them.
void fixGlState() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  // Light 0 keeps GL's default colours and no material is set: with colour
  // material the current colour is the ambient and diffuse reflectance.
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
}

// Filled, smooth normals, facing outward, with texture coordinates. Null when
// GLU has no memory left; the frame then skips that sphere.
GLUquadric* newTexturedQuadric() {
  GLUquadric* quadric = gluNewQuadric();
  if (quadric != nullptr) {
    gluQuadricTexture(quadric, GL_TRUE);
  }
  return quadric;
}

void chooseFilters(Scene& scene, int textureFiltration) {
  // The settings keep the value within 0..2; anything else gets their fallback, 2.
  const bool known = textureFiltration >= 0 && textureFiltration < filterChoiceCount;
  const FilterChoice& choice = filterChoices[known ? textureFiltration : filterChoiceCount - 1];
  scene.textureMinFilter = choice.minFilter;
  scene.textureMagFilter = choice.magFilter;
}

// One luminance channel, no mipmaps, whatever the filtering setting. At its
// own size a glyph's pixels sample the texels' centres, where linear
// filtering gives each texel exactly; drawn a whole number of times larger
// (a display scaled above 100 %), nearest copies each texel onto a square of
// pixels where linear would blur every edge. The default unpack alignment of
// 4 still holds and suits 256-byte rows.
GLuint uploadFontAtlas(const RgbImage& atlas, int32_t glyphScale) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, glyphScale > 1 ? GL_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, 1, fontAtlasSide, fontAtlasSide, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, atlas.pixels);
  return name;
}

// A decoded picture with its full mipmap chain (built for every filter
// choice). Rows come bottom-up, the order GL expects. GLU scales a picture
// larger than the implementation's maximum texture size down.
GLuint uploadPicture(const Scene& scene, const RgbImage& image, GLenum pixelFormat) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(scene.textureMinFilter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(scene.textureMagFilter));
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, pixelFormat, GL_UNSIGNED_BYTE, image.pixels);
  return name;
}

// The decoder delivers B, G, R. The Earth map goes up as BGR and shows its
// stored colours; the lunar map and the sun glow go up as RGB, so their red
// and blue trade places. The packs store the glow pale blue for that reason,
// and it shows warm, white at the centre; the slightly bluish grey surface
// shows slightly warm. That is the look of the scene.
void uploadPictures(Scene& scene) {
  scene.lunarTexture = uploadPicture(scene, *scene.pictures.lunarMap, GL_RGB);
  scene.earthTexture = uploadPicture(scene, *scene.pictures.earthMap, GL_BGR_EXT);
  scene.sunGlowTexture = uploadPicture(scene, *scene.pictures.sunGlowImage, GL_RGB);
}

// Both paths start at angle 0 unless the settings ask for a random start.
void aimCamera(Scene& scene) {
  configureSceneCamera(scene.camera, scene.options.settings.cameraRate);
  if (scene.options.settings.randomCamera) {
    scene.camera.randomize();
  }
}

// Three layers on one sphere: many tiny stars, fewer medium, a few large.
// Layers generated within the same second share their first positions, so
// some small stars show a larger dot on top; that is part of the look.
void generateStars(Scene& scene) {
  const SceneOptions& options = scene.options;
  const StarLayerCounts counts = starLayerCounts(options.settings.starsAmount);
  const float mediumSize = starPointSizeMedium(options.starPointSizeMin, options.starPointSizeMax);
  scene.smallStars.generate(starFieldRadius, counts.small, options.starPointSizeMin, 1.0f, 1.0f, 1.0f);
  scene.mediumStars.generate(starFieldRadius, counts.medium, mediumSize, 1.0f, 1.0f, 1.0f);
  scene.largeStars.generate(starFieldRadius, counts.large, options.starPointSizeMax, 1.0f, 1.0f, 1.0f);
  for (StarLayer* layer : {&scene.smallStars, &scene.mediumStars, &scene.largeStars}) {
    layer->setSmooth(options.settings.smoothStars);
  }
}

}  // namespace

void setUpScene(Scene& scene) {
  fixGlState();
  scene.lunarQuadric = newTexturedQuadric();
  scene.earthQuadric = newTexturedQuadric();
  chooseFilters(scene, scene.options.settings.textureFiltration);
  scene.fontTexture = uploadFontAtlas(*scene.pictures.fontAtlasImage, scene.overlayScale);
  uploadPictures(scene);
  scene.font.init(scene.fontTexture);
  aimCamera(scene);
  generateStars(scene);
}
