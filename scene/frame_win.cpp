// One frame, top to bottom like the picture it draws: the stars and the
// light, the sun glow, the lunar sphere with the Earth over it, then the text
// overlay in window pixels.
//
// The model-view matrix enters every frame as the base set by the projection
// (a translation by -5 along z) and leaves it that way: the scene pushes it
// before the camera and pops it after the spheres.
//
// Not here: the overlay's layout and the banner's scroll (overlay.cpp), the
// camera curves (camera.cpp), timing (the frame meter).
#include "scene/scene_win.h"

namespace {

// Light-model ambient colours: the stars and the glow are drawn fully lit;
// the spheres' night sides get faint starlight, or nothing without stars.
constexpr GLfloat fullAmbient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat starlightAmbient[4] = {0.02f, 0.02f, 0.02f, 1.0f};
constexpr GLfloat darkAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
// A point light at the local origin; placed by the translation before it.
constexpr GLfloat lightPosition[4] = {0.0f, 0.0f, 0.0f, 1.0f};

constexpr GLdouble lunarRadius = 1.9;
constexpr GLint lunarSlices = 160;
constexpr GLint lunarStacks = 80;
constexpr GLdouble earthRadius = 0.9;
constexpr GLint earthSlices = 40;
constexpr GLint earthStacks = 20;
constexpr GLfloat earthDistance = 18.0f;  // from the lunar centre, in its equatorial plane

// The stars, then the light: the camera is already on the matrix, so the
// light stays fixed in the scene at (0, 0, 100), far beyond the lunar sphere
// on the +z axis, however the camera moves.
void drawStarsAndLight(const Scene& scene) {
  glPushMatrix();
  if (scene.options.settings.showStars) {
    scene.smallStars.draw();
    scene.mediumStars.draw();
    scene.largeStars.draw();
  }
  glTranslatef(0.0f, 0.0f, 100.0f);
  glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
  glPopMatrix();
}

// A 4 x 4 quad at z = 21.7 in the direction of the light, added with a
// screen-like blend that brightens what is behind it. Depth test stays on.
void drawSunGlow(const Scene& scene) {
  glPushMatrix();
  glTranslated(0.0, 0.0, 22.0);
  glColor3f(1.0f, 1.0f, 0.8f);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, scene.sunGlowTexture);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
  glBegin(GL_QUADS);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.0f, 2.0f, -0.3f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.0f, -2.0f, -0.3f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-2.0f, -2.0f, -0.3f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-2.0f, 2.0f, -0.3f);
  glEnd();
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}

// The lunar sphere turns about its vertical axis; the Earth's offset comes
// after that turn, so it hangs over one point of the surface and circles with
// it while spinning on its own axis. Leaves texturing on for the caller.
void drawSpheres(const Scene& scene) {
  glColor3f(1.0f, 1.0f, 1.0f);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, scene.lunarTexture);
  glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);  // GLU's polar axis (z) points up (+y)
  glRotatef(scene.angles.lunarAngle, 0.0f, 0.0f, 1.0f);
  if (scene.lunarQuadric != nullptr) {
    gluSphere(scene.lunarQuadric, lunarRadius, lunarSlices, lunarStacks);
  }
  if (scene.options.settings.showEarth && scene.earthQuadric != nullptr) {
    glBindTexture(GL_TEXTURE_2D, scene.earthTexture);
    glTranslatef(0.0f, earthDistance, 0.0f);
    glRotatef(scene.angles.earthAngle, 0.0f, 0.0f, 1.0f);
    gluSphere(scene.earthQuadric, earthRadius, earthSlices, earthStacks);
  }
}

LocalTime readLocalTime() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

// Every text twice with glyph set 0: the black shadow, then the coloured copy.
void drawOverlay(Scene& scene, float framesPerSecond) {
  const Settings& settings = scene.options.settings;
  const OverlayFlags flags{scene.showLogo, settings.showInfo, settings.showFps, settings.showTime};
  OverlayFrame frame;
  frame.screenWidth = scene.screenWidth;
  frame.screenHeight = scene.screenHeight;
  frame.scale = scene.overlayScale;
  frame.framesPerSecond = framesPerSecond;
  if (overlayShowsClock(flags)) {
    frame.localTime = readLocalTime();  // once, for the time, date and weekday
  }
  const OverlayLayout layout = layOutOverlay(flags, frame, scene.banner);
  for (std::size_t i = 0; i < layout.count; ++i) {
    const OverlayItem& item = layout.items[i];
    scene.font.print(shadowColor.red, shadowColor.green, shadowColor.blue, item.shadowX, item.shadowY, 0, "%s",
                     item.text);
    scene.font.print(item.color.red, item.color.green, item.color.blue, item.colorX, item.colorY, 0, "%s", item.text);
  }
}

}  // namespace

void renderFrame(Scene& scene) {
  const float framesPerSecond = measureFrameRate(scene);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  advanceSphereAngles(scene.angles, scene.options.settings.animationRate);

  glPushMatrix();  // the scene matrix
  scene.camera.update();
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, fullAmbient);
  drawStarsAndLight(scene);
  drawSunGlow(scene);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, scene.options.settings.showStars ? starlightAmbient : darkAmbient);
  drawSpheres(scene);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();

  drawOverlay(scene, framesPerSecond);
}
