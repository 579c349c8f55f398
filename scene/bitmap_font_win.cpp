// The bitmap font's GL side: the 256 glyph lists and the two-pass text draw.
//
// drawText follows one pattern: note what it changes, set its own state,
// draw the two passes, then put back the enables, matrices and polygon modes
// in reverse order. What it leaves changed is listed in bitmap_font.h.
#include <windows.h>

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>

#include "scene/bitmap_font.h"

namespace {

// Records glyph g: one front-facing quad (counter-clockwise as seen) with the
// atlas cell on it, then the advance to the next glyph.
void compileGlyph(GLuint list, int glyph) {
  const GlyphCell cell = glyphCell(glyph);
  glNewList(list, GL_COMPILE);
  glBegin(GL_QUADS);
  glTexCoord2f(cell.u0, cell.t0);
  glVertex2i(0, 0);
  glTexCoord2f(cell.u1, cell.t0);
  glVertex2i(fontCellSide, 0);
  glTexCoord2f(cell.u1, cell.t1);
  glVertex2i(fontCellSide, fontCellSide);
  glTexCoord2f(cell.u0, cell.t1);
  glVertex2i(0, fontCellSide);
  glEnd();
  glTranslated(fontCellSide, 0.0, 0.0);
  glEndList();
}

// One pass over the text: a list per byte, from the list base set by the
// caller. Bytes outside 32..126 go as spaces (see fontGlyphCode); a text
// longer than the chunk goes in several calls, which continue where the
// previous one's translations left off.
void callGlyphLists(const char* text) {
  char chunk[fontTextCapacity];
  GLsizei length = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    chunk[length++] = fontGlyphCode(*p);
    if (length == static_cast<GLsizei>(sizeof chunk)) {
      glCallLists(length, GL_BYTE, chunk);
      length = 0;
    }
  }
  if (length > 0) {
    glCallLists(length, GL_BYTE, chunk);
  }
}

void restoreEnable(GLenum capability, GLboolean wasEnabled) {
  if (wasEnabled) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}

}  // namespace

void BitmapFont::init(std::uint32_t texture) {
  setTexture(texture);
  buildLists();
}

void BitmapFont::buildLists() {
  deleteLists();  // one set of lists per font: a rebuild replaces them
  const GLuint base = glGenLists(fontGlyphCount);
  if (base == 0) {
    return;  // no lists to be had: texts draw nothing rather than stray lists
  }
  listBase_ = base;
  glBindTexture(GL_TEXTURE_2D, texture_);  // outside the lists: they never bind
  for (int g = 0; g < fontGlyphCount; ++g) {
    compileGlyph(base + static_cast<GLuint>(g), g);
  }
  listsBuilt_ = true;
}

void BitmapFont::deleteLists() {
  if (!listsBuilt_) {
    return;
  }
  glDeleteLists(listBase_, fontGlyphCount);
  listsBuilt_ = false;
}

void BitmapFont::print(float red, float green, float blue, std::int32_t x, std::int32_t y, std::uint32_t glyphSet,
                       const char* format, ...) const {
  if (format == nullptr) {
    return;
  }
  char text[fontTextCapacity];
  va_list arguments;
  va_start(arguments, format);
  // vsnprintf cuts at 255 bytes and always terminates.
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length < 0) {
    return;  // a format the C library refuses: nothing sensible to draw
  }
  drawText(red, green, blue, x, y, fontGlyphSet(glyphSet), text);
}

void BitmapFont::drawText(float red, float green, float blue, std::int32_t x, std::int32_t y, std::uint32_t glyphSet,
                          const char* text) const {
  if (text == nullptr || !listsBuilt_) {
    return;
  }
  const GLboolean textureWasOn = glIsEnabled(GL_TEXTURE_2D);
  const GLboolean lightingWasOn = glIsEnabled(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  GLint polygonModes[2] = {GL_FILL, GL_FILL};  // front, back
  glGetIntegerv(GL_POLYGON_MODE, polygonModes);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glBindTexture(GL_TEXTURE_2D, texture_);

  // Window pixels, origin at the lower-left corner.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, static_cast<GLuint>(viewWidth_), 0.0, static_cast<GLuint>(viewHeight_), -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  const GLboolean blendWasOn = glIsEnabled(GL_BLEND);
  const GLboolean depthWasOn = glIsEnabled(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);

  // Code c of set s is glyph s x 128 + c - 32. Unsigned arithmetic wraps the
  // same way GL adds the offsets, so a small list base is no problem.
  const GLuint base = listBase_ + fontGlyphSet(glyphSet) * fontGlyphsPerSet - fontFirstCode;

  // Mask pass: background x (1 - L), with L the atlas luminance.
  glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
  const GLfloat scale = static_cast<GLfloat>(glyphScale_);
  glPushMatrix();
  glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
  glScalef(scale, scale, 1.0f);
  glListBase(base);
  glColor3f(1.0f, 1.0f, 1.0f);
  callGlyphLists(text);
  glPopMatrix();

  // Colour pass: L x colour + background x (1 - L x colour).
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
  glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
  glScalef(scale, scale, 1.0f);
  glListBase(base);
  glColor3f(red, green, blue);
  callGlyphLists(text);

  if (!blendWasOn) {
    glDisable(GL_BLEND);
  }
  if (depthWasOn) {
    glEnable(GL_DEPTH_TEST);
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  restoreEnable(GL_TEXTURE_2D, textureWasOn);
  restoreEnable(GL_LIGHTING, lightingWasOn);
  glPolygonMode(GL_FRONT, static_cast<GLenum>(polygonModes[0]));
  glPolygonMode(GL_BACK, static_cast<GLenum>(polygonModes[1]));
}
