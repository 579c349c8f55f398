// make_atlas: rasterises the saver's glyph atlas from two TrueType faces.
//
// The atlas is 256 x 256 one-byte luminance samples, 16 x 16 cells of 16 x 16
// pixels. Glyph g sits in cell column g % 16 and cell row g / 16, rows counted
// from the top of the upright picture. Glyphs 0..127 are set 0 (the upper
// half), 128..255 set 1 (the lower half); character code c of a set is glyph
// set * 128 + c - 32. The file stores the picture bottom-up, its first row
// being the bottom row of the picture, which is the row order of the texture
// the saver makes from it, so the glyphs stand upright in texture space.
//
// Each glyph is light on black, anti-aliased, standing on a baseline shared
// by its set and left-aligned in its cell: by default its ink starts at the
// cell's left column; with --align origin the glyph's pen origin does, so a
// monospaced face keeps its glyphs centred in their advance and text drawn
// with the fixed advance is evenly spaced. The saver draws
// text with a fixed 16-pixel advance, so ink must stay within 15 columns and
// leave the 16th dark to part neighbours; a wider glyph is squeezed
// horizontally rather than clipped. A set that does not fit 16 rows is
// refused with the names of the offending glyphs: pick a smaller pixel size.
//
// It also prints the visible width of every set-0 glyph (rightmost lit column
// + 1) and lays the logo title out letter by letter from those widths.
//
// It does not: draw codes 127..159 (these faces have no glyphs there and the
// saver never prints them, so those cells stay black), kern, or touch any
// file other than the ones named on its command line.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/font_atlas.h"
#include "scene/bitmap_font.h"

namespace {

constexpr int kLastCode = fontFirstCode + fontGlyphsPerSet - 1;  // 159
constexpr int kMaxInkWidth = fontCellSide - 1;

// The logo title and the rule that spaces its letters.
constexpr const char* kLogoTitle = "Orvane";
constexpr int kLogoFirstShadowX = 7;
constexpr int kLogoFirstColourX = 5;
constexpr int kLogoMinStep = 8;
constexpr int kLogoMaxStep = 15;

int glyphIndex(int set, int code) { return set * fontGlyphsPerSet + code - fontFirstCode; }
int cellLeft(int glyph) { return glyph % fontCellsPerRow * fontCellSide; }
int cellTop(int glyph) { return glyph / fontCellsPerRow * fontCellSide; }

// The upright atlas picture, rows top-down while it is composed.
struct Picture {
  std::vector<uint8_t> samples = std::vector<uint8_t>(fontAtlasSide * fontAtlasSide, 0);
  uint8_t& at(int x, int y) { return samples[static_cast<size_t>(y) * fontAtlasSide + x]; }
  uint8_t at(int x, int y) const { return samples[static_cast<size_t>(y) * fontAtlasSide + x]; }
};

// A rendered glyph trimmed to its ink. `above` rows of it lie above the
// baseline, the rest below.
struct Ink {
  int width = 0;
  int height = 0;
  int above = 0;
  int bearing = 0;  // columns from the pen origin to the first lit column (0 if left of it)
  std::vector<uint8_t> samples;
  int below() const { return height - above; }
};

enum class Hinting { none, light, normal };

struct SetSource {
  std::string fontPath;
  int pixelSize = 0;
};

struct Options {
  SetSource sets[2];
  Hinting hinting = Hinting::normal;
  bool alignOrigin = false;
  int logoGap = 1;
  std::string outPath;
  std::string previewPath;      // optional PGM of the upright picture
  std::string logoPreviewPath;  // optional PPM of the logo as the saver blends it
};

FT_Int32 loadFlags(Hinting hinting) {
  switch (hinting) {
    case Hinting::none: return FT_LOAD_RENDER | FT_LOAD_NO_HINTING;
    case Hinting::light: return FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;
    case Hinting::normal: break;
  }
  return FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL;
}

// Copies the lit part of FreeType's bitmap. A glyph without ink (the space)
// gives an empty Ink.
bool trimBitmap(const FT_GlyphSlot slot, Ink& ink) {
  const FT_Bitmap& bitmap = slot->bitmap;
  ink = Ink{};
  if (bitmap.rows == 0 || bitmap.width == 0) return true;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch <= 0) return false;
  const int rows = static_cast<int>(bitmap.rows);
  const int cols = static_cast<int>(bitmap.width);
  auto sample = [&](int x, int y) { return bitmap.buffer[y * bitmap.pitch + x]; };
  int left = cols, right = -1, top = rows, bottom = -1;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      if (sample(x, y) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return true;
  ink.width = right - left + 1;
  ink.height = bottom - top + 1;
  ink.above = slot->bitmap_top - top;
  ink.bearing = std::max(0, slot->bitmap_left + left);
  ink.samples.resize(static_cast<size_t>(ink.width) * ink.height);
  for (int y = 0; y < ink.height; ++y)
    for (int x = 0; x < ink.width; ++x) ink.samples[static_cast<size_t>(y) * ink.width + x] = sample(left + x, top + y);
  return true;
}

// Renders one character; a glyph wider than the cell allows is rendered again
// under a horizontal squeeze until it fits. Hinting runs before the squeeze,
// so the vertical stems keep their snapped heights.
bool renderGlyph(FT_Face face, int code, Hinting hinting, Ink& ink, double& squeeze) {
  squeeze = 1.0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    FT_Matrix matrix{static_cast<FT_Fixed>(std::lround(squeeze * 65536.0)), 0, 0, 0x10000};
    FT_Set_Transform(face, squeeze < 1.0 ? &matrix : nullptr, nullptr);
    const FT_Error error = FT_Load_Char(face, static_cast<FT_ULong>(code), loadFlags(hinting));
    FT_Set_Transform(face, nullptr, nullptr);
    if (error != 0 || !trimBitmap(face->glyph, ink)) {
      std::fprintf(stderr, "make_atlas: cannot render code %d\n", code);
      return false;
    }
    if (ink.width <= kMaxInkWidth) return true;
    // Aim slightly inside the limit: the rendered width rounds outwards.
    squeeze *= (kMaxInkWidth - 0.25) / ink.width;
  }
  std::fprintf(stderr, "make_atlas: code %d does not fit %d columns\n", code, kMaxInkWidth);
  return false;
}

// Renders codes 32..126 of a face, checks that they share a baseline within
// 16 rows and draws them into the cells of the set.
bool drawSet(FT_Library library, const SetSource& source, int set, Hinting hinting, bool alignOrigin,
             Picture& picture) {
  FT_Face face = nullptr;
  if (FT_New_Face(library, source.fontPath.c_str(), 0, &face) != 0) {
    std::fprintf(stderr, "make_atlas: cannot open font %s\n", source.fontPath.c_str());
    return false;
  }
  bool ok = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(source.pixelSize)) == 0;
  std::array<Ink, fontGlyphsPerSet> inks;
  int maxAbove = 0, maxBelow = 0;
  for (int code = fontFirstCode; ok && code <= fontLastCode; ++code) {
    Ink& ink = inks[code - fontFirstCode];
    double squeeze = 1.0;
    ok = renderGlyph(face, code, hinting, ink, squeeze);
    if (ok && squeeze < 1.0) std::printf("set %d: '%c' squeezed to %.0f%% width\n", set, code, squeeze * 100.0);
    if (ok && ink.height > 0) {
      maxAbove = std::max(maxAbove, ink.above);
      maxBelow = std::max(maxBelow, ink.below());
    }
  }
  FT_Done_Face(face);
  if (!ok) return false;

  if (maxAbove + maxBelow > fontCellSide) {
    std::fprintf(stderr, "make_atlas: set %d at %d px needs %d rows (%d above, %d below the baseline):", set,
                 source.pixelSize, maxAbove + maxBelow, maxAbove, maxBelow);
    for (int code = fontFirstCode; code <= fontLastCode; ++code) {
      const Ink& ink = inks[code - fontFirstCode];
      if (ink.height > 0 && (ink.above == maxAbove || ink.below() == maxBelow)) std::fprintf(stderr, " '%c'", code);
    }
    std::fprintf(stderr, "\n");
    return false;
  }
  // Spare rows go half above, half below the tallest ink, the odd one on top.
  const int baseline = maxAbove + (fontCellSide - maxAbove - maxBelow + 1) / 2;  // rows from the cell top
  std::printf("set %d: %d px, ink %d rows above and %d below the baseline, baseline %d rows from the cell top\n", set,
              source.pixelSize, maxAbove, maxBelow, baseline);
  for (int code = fontFirstCode; code <= fontLastCode; ++code) {
    const Ink& ink = inks[code - fontFirstCode];
    const int glyph = glyphIndex(set, code);
    const int top = cellTop(glyph) + baseline - ink.above;
    const int left = cellLeft(glyph) + (alignOrigin ? std::min(ink.bearing, kMaxInkWidth - ink.width) : 0);
    for (int y = 0; y < ink.height; ++y)
      for (int x = 0; x < ink.width; ++x)
        picture.at(left + x, top + y) = ink.samples[static_cast<size_t>(y) * ink.width + x];
  }
  return true;
}

// Rightmost lit column + 1 of a glyph's cell; 0 for an empty cell.
int visibleWidth(const Picture& picture, int glyph) {
  int width = 0;
  for (int y = 0; y < fontCellSide; ++y)
    for (int x = 0; x < fontCellSide; ++x)
      if (picture.at(cellLeft(glyph) + x, cellTop(glyph) + y) != 0) width = std::max(width, x + 1);
  return width;
}

struct LogoLetter {
  char letter;
  int shadowX;
  int colourX;
};

// The first shadow at 7 with its coloured copy at 5; each later shadow one
// visible width plus the gap after the one before, kept to 8..15 pixels, with
// its coloured copy a pixel to its left.
std::vector<LogoLetter> layOutLogo(const Picture& picture, int gap) {
  std::vector<LogoLetter> rows;
  for (const char* p = kLogoTitle; *p != '\0'; ++p) {
    if (rows.empty()) {
      rows.push_back({*p, kLogoFirstShadowX, kLogoFirstColourX});
      continue;
    }
    const int previousWidth = visibleWidth(picture, glyphIndex(0, static_cast<unsigned char>(p[-1])));
    const int step = std::clamp(previousWidth + gap, kLogoMinStep, kLogoMaxStep);
    const int shadowX = rows.back().shadowX + step;
    rows.push_back({*p, shadowX, shadowX - 1});
  }
  return rows;
}

void printWidths(const Picture& picture) {
  std::printf("visible widths, set 0 (code char width):\n");
  for (int code = fontFirstCode; code <= fontLastCode; ++code) {
    std::printf("  %3d %c %2d%s", code, code, visibleWidth(picture, glyphIndex(0, code)),
                (code - fontFirstCode) % 8 == 7 ? "\n" : "");
  }
  std::printf("\n");
}

bool writeFile(const std::string& path, const std::string& header, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "make_atlas: cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
  ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) std::fprintf(stderr, "make_atlas: writing %s failed\n", path.c_str());
  return ok;
}

// The resource: the picture's rows from the bottom up.
bool writeAtlas(const Picture& picture, const std::string& path) {
  std::vector<uint8_t> bytes;
  bytes.reserve(picture.samples.size());
  for (int row = fontAtlasSide - 1; row >= 0; --row) {
    const auto first = picture.samples.begin() + static_cast<std::ptrdiff_t>(row) * fontAtlasSide;
    bytes.insert(bytes.end(), first, first + fontAtlasSide);
  }
  return writeFile(path, "", bytes);
}

// A small RGB picture, rows top-down, y measured upwards from its bottom edge
// like the saver's text coordinates.
struct Canvas {
  int width, height;
  std::vector<float> rgb;
  Canvas(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0.0f) {}
  float* pixel(int x, int yUp) { return &rgb[(static_cast<size_t>(height - 1 - yUp) * width + x) * 3]; }
};

// Blends a text the way the saver's font does: a mask pass that darkens by
// the glyph luminance L, then a colour pass adding L x colour.
void blendText(Canvas& canvas, const Picture& atlas, int x, int y, const char* text, const float colour[3]) {
  for (int i = 0; text[i] != '\0'; ++i) {
    const int glyph = glyphIndex(0, static_cast<unsigned char>(text[i]));
    for (int row = 0; row < fontCellSide; ++row) {
      for (int col = 0; col < fontCellSide; ++col) {
        const int px = x + i * fontCellSide + col, py = y + row;
        if (px < 0 || px >= canvas.width || py < 0 || py >= canvas.height) continue;
        const float l = atlas.at(cellLeft(glyph) + col, cellTop(glyph) + fontCellSide - 1 - row) / 255.0f;
        float* d = canvas.pixel(px, py);
        for (int c = 0; c < 3; ++c) {
          const float masked = d[c] * (1.0f - l);
          d[c] = l * colour[c] + masked * (1.0f - l * colour[c]);
        }
      }
    }
  }
}

// The preview window's overlay, logo and subtitle, over a dark sky.
bool writeLogoPreview(const Picture& atlas, const std::vector<LogoLetter>& logo, const std::string& path) {
  constexpr int kWidth = 152, kHeight = 112;  // the display control panel's preview
  const float black[3] = {0.0f, 0.0f, 0.0f};
  const float titleBlue[3] = {0.5f, 0.5f, 0.9f};
  const float textGrey[3] = {0.8f, 0.8f, 0.8f};
  Canvas canvas(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      float* p = canvas.pixel(x, y);
      p[0] = 0.05f + 0.25f * x / kWidth;  // a ramp shows the shadow on light and dark ground
      p[1] = 0.05f + 0.25f * x / kWidth;
      p[2] = 0.08f + 0.30f * x / kWidth;
    }
  for (const LogoLetter& row : logo) {
    const char text[2] = {row.letter, '\0'};
    blendText(canvas, atlas, row.shadowX, kHeight - 20, text, black);
    blendText(canvas, atlas, row.colourX, kHeight - 19, text, titleBlue);
  }
  blendText(canvas, atlas, 7, 4, "TAVRIN", black);
  blendText(canvas, atlas, 6, 5, "TAVRIN", textGrey);
  std::vector<uint8_t> bytes;
  for (float v : canvas.rgb) bytes.push_back(static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)));
  return writeFile(path, "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n", bytes);
}

bool parseSet(const char* text, SetSource& source) {
  const char* colon = std::strrchr(text, ':');
  if (colon == nullptr) return false;
  source.fontPath.assign(text, colon);
  char* end = nullptr;
  const long size = std::strtol(colon + 1, &end, 10);
  source.pixelSize = static_cast<int>(size);
  return *end == '\0' && size >= 4 && size <= 64 && !source.fontPath.empty();
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--set0") {
      if (!parseSet(value, options.sets[0])) return false;
    } else if (name == "--set1") {
      if (!parseSet(value, options.sets[1])) return false;
    } else if (name == "--hinting") {
      const std::string h = value;
      if (h == "none")
        options.hinting = Hinting::none;
      else if (h == "light")
        options.hinting = Hinting::light;
      else if (h == "normal")
        options.hinting = Hinting::normal;
      else
        return false;
    } else if (name == "--align") {
      const std::string a = value;
      if (a == "ink")
        options.alignOrigin = false;
      else if (a == "origin")
        options.alignOrigin = true;
      else
        return false;
    } else if (name == "--logo-gap") {
      char* end = nullptr;
      options.logoGap = static_cast<int>(std::strtol(value, &end, 10));
      if (end == value || *end != '\0' || options.logoGap < 0 || options.logoGap > 8) return false;
    } else if (name == "--out") {
      options.outPath = value;
    } else if (name == "--preview") {
      options.previewPath = value;
    } else if (name == "--logo-preview") {
      options.logoPreviewPath = value;
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options.outPath.empty() && !options.sets[0].fontPath.empty() &&
         !options.sets[1].fontPath.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: make_atlas --set0 FONT:PIXELS --set1 FONT:PIXELS --out atlas.bin\n"
                 "                  [--hinting none|light|normal] [--align ink|origin] [--logo-gap N]\n"
                 "                  [--preview atlas.pgm] [--logo-preview logo.ppm]\n");
    return 2;
  }
  static_assert(kLastCode == 159, "a set covers codes 32..159");
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    std::fprintf(stderr, "make_atlas: FreeType does not start\n");
    return 1;
  }
  Picture picture;
  bool ok = drawSet(library, options.sets[0], 0, options.hinting, options.alignOrigin, picture) &&
            drawSet(library, options.sets[1], 1, options.hinting, options.alignOrigin, picture);
  FT_Done_FreeType(library);
  if (!ok) return 1;

  printWidths(picture);
  const std::vector<LogoLetter> logo = layOutLogo(picture, options.logoGap);
  std::printf("logo \"%s\" (letter, shadow x, colour x), gap %d:\n", kLogoTitle, options.logoGap);
  for (const LogoLetter& row : logo) std::printf("  '%c' %2d %2d\n", row.letter, row.shadowX, row.colourX);

  ok = writeAtlas(picture, options.outPath);
  if (ok && !options.previewPath.empty()) ok = writeFile(options.previewPath, "P5\n256 256\n255\n", picture.samples);
  if (ok && !options.logoPreviewPath.empty()) ok = writeLogoPreview(picture, logo, options.logoPreviewPath);
  return ok ? 0 : 1;
}
