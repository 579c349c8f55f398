// A real rendering context for the scene's GL pieces: a popup window at the
// screen's top-left corner, made current by the scene's own
// createRenderingContext, and helpers to read the back buffer and GL state.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace scene_test {

// The back buffer as RGB bytes, rows bottom-up like GL's window coordinates.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  std::uint8_t red(int x, int y) const { return at(x, y)[0]; }
  std::uint8_t green(int x, int y) const { return at(x, y)[1]; }
  std::uint8_t blue(int x, int y) const { return at(x, y)[2]; }
  bool black(int x, int y) const { return red(x, y) == 0 && green(x, y) == 0 && blue(x, y) == 0; }
};

class GlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { openWindow(800, 600); }
  void TearDown() override { closeWindow(); }

  void openWindow(int width, int height) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinSceneGlTest";
    windowClass.style = CS_OWNDC;
    RegisterClassA(&windowClass);
    window = CreateWindowExA(WS_EX_TOPMOST, "TavrinSceneGlTest", "scene", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    saverWindow = window;
    ASSERT_TRUE(createRenderingContext());
    glViewport(0, 0, width, height);
    clearTo(0.0f, 0.0f, 0.0f);
  }

  // The window stays until the process ends: with no window manager on the
  // test display, Wine waits two seconds for every destroyed window to be
  // withdrawn. A fresh window (and context) per test keeps GL state apart.
  void closeWindow() {
    releaseRenderingContext();
    window = nullptr;
    saverWindow = nullptr;
  }

  static void clearTo(float red, float green, float blue) {
    glClearColor(red, green, blue, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  static Pixels readPixels(int x, int y, int width, int height) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    return pixels;
  }

  static bool enabled(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

  static GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
  }

  static std::array<GLfloat, 4> floats(GLenum name) {
    std::array<GLfloat, 4> value{};
    glGetFloatv(name, value.data());
    return value;
  }

  static std::array<GLdouble, 16> matrix(GLenum name) {
    std::array<GLdouble, 16> value{};
    glGetDoublev(name, value.data());
    return value;
  }

  // A 256 x 256 luminance texture, uploaded as the scene uploads the atlas.
  static GLuint luminanceTexture(const std::uint8_t* bytes) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 1, 256, 256, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, bytes);
    return name;
  }

  HWND window = nullptr;
};

// The glyph atlas as the saver carries it: resource 106 of this test program.
inline const std::uint8_t* glyphAtlas() {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(106), "DATAPACK");
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  if (!loaded || SizeofResource(nullptr, resource) != 256 * 256) return nullptr;
  return static_cast<const std::uint8_t*>(LockResource(loaded));
}

}  // namespace scene_test
