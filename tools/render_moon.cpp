// render_moon: draws the saver's artwork pictures from the equirectangular
// surface maps: a lit globe on a transparent ground, and a starfield.
//
// Globe: an orthographic view of a sphere whose surface is an equirectangular
// map (binary PPM, longitude -180..180 left to right, north up), lit by a
// distant light with a soft terminator and a faint glow on the night side.
// The shading mixes Lambert's law with the Lommel-Seeliger law of dusty
// airless bodies, so the full moon stays bright up to its limb as the real
// one does while the terminator still falls off smoothly. Every output
// pixel averages S x S samples in linear light, and the map is read from a
// box-filtered pyramid level that matches the sample spacing, so small
// icons come out smooth rather than speckled. The edge is anti-aliased into
// the alpha channel. For icons a few pixels wide it can raise the map's
// contrast and darken a thin ring at the limb, so that the disk keeps its
// maria and its outline. Output is a PAM (RGB_ALPHA), which ImageMagick reads.
//
// Starfield: black sky with stars of a steep brightness distribution, each a
// small Gaussian spot at a sub-pixel position, a few of them tinted. The same
// seed gives the same sky: mt19937's raw output is fixed by the C++ standard,
// and no library distribution, whose algorithm varies between libraries, is
// used.
//
// It does not read JPEG itself (the build script converts the maps with
// djpeg), and nothing of it goes into the saver.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// sRGB transfer curve, both ways, so that averaging and lighting happen in
// linear light.
double toLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double toSrgb(double v) {
  v = std::clamp(v, 0.0, 1.0);
  return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}
uint8_t toByte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

struct Vec3 {
  double x, y, z;
};
Vec3 operator*(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalised(const Vec3& a) { return a * (1.0 / std::sqrt(dot(a, a))); }

// One level of the map pyramid: linear RGB, rows top-down (north first).
struct MapLevel {
  int width = 0, height = 0;
  std::vector<float> rgb;
  const float* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Reads a binary PPM with maxval 255 into linear light.
bool readPpm(const std::string& path, MapLevel& level) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "render_moon: cannot open %s\n", path.c_str());
    return false;
  }
  int maxval = 0;
  const bool header =
      std::fscanf(file, "P6 %d %d %d", &level.width, &level.height, &maxval) == 3 && std::fgetc(file) != EOF;
  const bool sane =
      header && maxval == 255 && level.width >= 2 && level.height >= 1 && level.width <= 16384 && level.height <= 16384;
  // Allocate only what the file really holds, whatever its header claims.
  const size_t needed = sane ? static_cast<size_t>(level.width) * level.height * 3 : 0;
  const long start = std::ftell(file);
  const bool seekable = start >= 0 && std::fseek(file, 0, SEEK_END) == 0;
  const long end = seekable ? std::ftell(file) : -1;
  std::vector<uint8_t> bytes;
  if (sane && end >= start && static_cast<size_t>(end - start) >= needed && std::fseek(file, start, SEEK_SET) == 0) {
    bytes.resize(needed);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
  }
  std::fclose(file);
  if (bytes.empty()) {
    std::fprintf(stderr, "render_moon: %s is not a complete 8-bit binary PPM\n", path.c_str());
    return false;
  }
  float table[256];
  for (int v = 0; v < 256; ++v) table[v] = static_cast<float>(toLinear(v / 255.0));
  level.rgb.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) level.rgb[i] = table[bytes[i]];
  return true;
}

// Each level halves the one before with a 2 x 2 box, down to 64 pixels wide.
std::vector<MapLevel> buildPyramid(MapLevel base) {
  std::vector<MapLevel> levels;
  levels.push_back(std::move(base));
  while (levels.back().width >= 128 && levels.back().height >= 2) {
    const MapLevel& from = levels.back();
    MapLevel to;
    to.width = from.width / 2;
    to.height = from.height / 2;
    to.rgb.resize(static_cast<size_t>(to.width) * to.height * 3);
    for (int y = 0; y < to.height; ++y)
      for (int x = 0; x < to.width; ++x)
        for (int c = 0; c < 3; ++c)
          to.rgb[(static_cast<size_t>(y) * to.width + x) * 3 + c] =
              0.25f * (from.at(2 * x, 2 * y)[c] + from.at(2 * x + 1, 2 * y)[c] + from.at(2 * x, 2 * y + 1)[c] +
                       from.at(2 * x + 1, 2 * y + 1)[c]);
    levels.push_back(std::move(to));
  }
  return levels;
}

// Bilinear read at longitude/latitude in radians; wraps in longitude and
// clamps at the poles.
Vec3 sampleMap(const MapLevel& level, double longitude, double latitude) {
  const double u = (longitude + kPi) / (2.0 * kPi) * level.width - 0.5;
  const double v = (kPi / 2.0 - latitude) / kPi * level.height - 0.5;
  const double fu = std::floor(u), fv = std::floor(v);
  const double tu = u - fu, tv = v - fv;
  auto wrapX = [&](double x) {
    return static_cast<int>(((static_cast<long>(x) % level.width) + level.width) % level.width);
  };
  auto clampY = [&](double y) { return static_cast<int>(std::clamp(y, 0.0, level.height - 1.0)); };
  const int x0 = wrapX(fu), x1 = wrapX(fu + 1), y0 = clampY(fv), y1 = clampY(fv + 1);
  Vec3 result{0, 0, 0};
  const int xs[2] = {x0, x1}, ys[2] = {y0, y1};
  const double wx[2] = {1 - tu, tu}, wy[2] = {1 - tv, tv};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const float* p = level.at(xs[i], ys[j]);
      const double w = wx[i] * wy[j];
      result = result + Vec3{p[0], p[1], p[2]} * w;
    }
  return result;
}

struct GlobeOptions {
  std::string mapPath;
  std::string outPath;
  int size = 256;                 // output picture, square
  double diameter = 0;            // globe diameter in pixels; 0 = size
  int supersample = 4;            // S x S samples per pixel
  Vec3 light{-0.55, 0.45, 0.70};  // towards the light: upper left, in front
  double centreLongitude = 0;     // degrees, the map point facing the viewer
  double centreLatitude = 0;
  double exposure = 1.0;    // scales the lit surface
  double contrast = 1.0;    // albedo contrast about its mean, for tiny sizes
  double saturation = 1.0;  // 0 turns the map grey; the map's faint tint turns muddy when contrast rises
  double night = 0.004;     // linear level of the unlit side
  double softness = 0.08;   // width of the terminator, in cosine units
  double lommel = 0.6;      // share of the Lommel-Seeliger law in the shading
  double rimWidth = 0;      // outer ring, in radii, darkened so that a small
  double rimDarken = 0;     // icon keeps its outline on a light background
};

double smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Brightness factor of a surface point with normal n seen along +z.
double shade(const GlobeOptions& o, const Vec3& light, const Vec3& n) {
  const double mu0 = dot(n, light);              // cosine to the light
  const double mu = std::max(n.z, 1e-3);         // cosine to the viewer
  const double lit = std::max(mu0, 0.0);         // Lambert
  const double lommel = 2.0 * lit / (lit + mu);  // 1 all over a full disk
  const double law = (1.0 - o.lommel) * lit + o.lommel * lommel;
  // Soften the edge of the day side: the law alone ends with a crease.
  const double terminator = smoothstep(-o.softness * 0.5, o.softness, mu0);
  return o.exposure * law * terminator + o.night;
}

// Picks the pyramid level whose texels are about as wide as the samples are
// apart at the centre of the disk.
const MapLevel& levelFor(const std::vector<MapLevel>& levels, double samplesAcross) {
  const double ratio = levels[0].width / (kPi * samplesAcross);
  size_t level = 0;
  while (level + 1 < levels.size() && ratio >= std::pow(2.0, level + 1)) ++level;
  return levels[level];
}

bool writePam(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "render_moon: cannot write %s\n", path.c_str());
    return false;
  }
  std::fprintf(file, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", width, height);
  bool ok = std::fwrite(rgba.data(), 1, rgba.size(), file) == rgba.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) std::fprintf(stderr, "render_moon: writing %s failed\n", path.c_str());
  return ok;
}

// What the renderer needs besides the options: the map level, its mean
// albedo (the pivot of the contrast change) and the unit light direction.
struct GlobeScene {
  const MapLevel* map;
  double meanAlbedo;
  Vec3 light;
};

// Linear colour of the globe at screen position (x, y) in radii, y up, on
// the disk.
Vec3 surfaceColour(const GlobeOptions& o, const GlobeScene& scene, double x, double y) {
  const double r2 = x * x + y * y;
  const Vec3 n{x, y, std::sqrt(1.0 - r2)};
  // Tilt by the centre latitude about x, then turn by the centre longitude
  // about the polar axis: body coordinates, north +y, longitude 0 at +z.
  const double lat0 = o.centreLatitude * kPi / 180.0, lon0 = o.centreLongitude * kPi / 180.0;
  const double by = n.y * std::cos(lat0) + n.z * std::sin(lat0);
  const double bz1 = -n.y * std::sin(lat0) + n.z * std::cos(lat0);
  const double bx = n.x * std::cos(lon0) + bz1 * std::sin(lon0);
  const double bz = -n.x * std::sin(lon0) + bz1 * std::cos(lon0);
  Vec3 albedo = sampleMap(*scene.map, std::atan2(bx, bz), std::asin(std::clamp(by, -1.0, 1.0)));
  const double grey = 0.2126 * albedo.x + 0.7152 * albedo.y + 0.0722 * albedo.z;
  albedo = Vec3{grey, grey, grey} + (albedo + Vec3{-grey, -grey, -grey}) * o.saturation;
  // Contrast as a power about the mean: the eye sees ratios of albedo, and
  // the dark maria keep their detail.
  const double mean = scene.meanAlbedo;
  auto stretch = [&](double a) { return mean * std::pow(std::max(a, 0.0) / mean, o.contrast); };
  albedo = Vec3{stretch(albedo.x), stretch(albedo.y), stretch(albedo.z)};
  const double rim = o.rimWidth > 0 ? 1.0 - o.rimDarken * smoothstep(1.0 - o.rimWidth, 1.0, std::sqrt(r2)) : 1.0;
  return albedo * (shade(o, scene.light, n) * rim);
}

bool renderGlobe(const GlobeOptions& o) {
  MapLevel base;
  if (!readPpm(o.mapPath, base)) return false;
  const std::vector<MapLevel> levels = buildPyramid(std::move(base));
  const int s = o.supersample;
  const double radius = (o.diameter > 0 ? o.diameter : o.size) * 0.5;
  GlobeScene scene{&levelFor(levels, 2.0 * radius * s), 0.0, normalised(o.light)};
  double sum = 0;
  for (float v : scene.map->rgb) sum += v;
  scene.meanAlbedo = std::max(sum / static_cast<double>(scene.map->rgb.size()), 1e-6);

  std::vector<uint8_t> rgba(static_cast<size_t>(o.size) * o.size * 4, 0);
  for (int py = 0; py < o.size; ++py) {
    for (int px = 0; px < o.size; ++px) {
      Vec3 colour{0, 0, 0};
      int covered = 0;
      for (int sy = 0; sy < s; ++sy) {
        for (int sx = 0; sx < s; ++sx) {
          const double x = (px + (sx + 0.5) / s - o.size * 0.5) / radius;
          const double y = (o.size * 0.5 - (py + (sy + 0.5) / s)) / radius;
          if (x * x + y * y >= 1.0) continue;
          colour = colour + surfaceColour(o, scene, x, y);
          ++covered;
        }
      }
      if (covered == 0) continue;
      // Straight, not premultiplied, colour: the mean of the covered samples;
      // the share of covered samples is the alpha.
      colour = colour * (1.0 / covered);
      uint8_t* out = &rgba[(static_cast<size_t>(py) * o.size + px) * 4];
      out[0] = toByte(toSrgb(colour.x));
      out[1] = toByte(toSrgb(colour.y));
      out[2] = toByte(toSrgb(colour.z));
      out[3] = toByte(static_cast<double>(covered) / (s * s));
    }
  }
  return writePam(o.outPath, o.size, o.size, rgba);
}

struct StarOptions {
  int width = 0, height = 0, count = 0;
  unsigned seed = 1;
  std::string outPath;
};

// Uniform in [0, 1) from the generator's raw 32-bit output.
double unit(std::mt19937& generator) { return generator() / 4294967296.0; }

bool renderStars(const StarOptions& o) {
  std::vector<double> sky(static_cast<size_t>(o.width) * o.height * 3, 0.0);
  std::mt19937 generator(o.seed);
  for (int i = 0; i < o.count; ++i) {
    const double cx = unit(generator) * o.width, cy = unit(generator) * o.height;
    // Steep power law: most stars faint, a handful bright.
    const double brightness = 0.015 + 0.8 * std::pow(unit(generator), 9.0);
    const double tint = unit(generator);
    const Vec3 colour = tint < 0.15   ? Vec3{0.75, 0.85, 1.0}  // hot, bluish
                        : tint < 0.25 ? Vec3{1.0, 0.88, 0.7}   // cool, yellowish
                                      : Vec3{1.0, 1.0, 1.0};
    // Brighter stars spread a little wider, as on a photograph.
    const double sigma = 0.4 + 0.45 * brightness;
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    for (int y = static_cast<int>(cy) - reach; y <= static_cast<int>(cy) + reach; ++y) {
      for (int x = static_cast<int>(cx) - reach; x <= static_cast<int>(cx) + reach; ++x) {
        if (x < 0 || y < 0 || x >= o.width || y >= o.height) continue;
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        const double energy =
            brightness * std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)) / (2 * kPi * sigma * sigma) * 2.0;
        double* p = &sky[(static_cast<size_t>(y) * o.width + x) * 3];
        p[0] += energy * colour.x;
        p[1] += energy * colour.y;
        p[2] += energy * colour.z;
      }
    }
  }
  std::vector<uint8_t> bytes(sky.size());
  for (size_t i = 0; i < sky.size(); ++i) bytes[i] = toByte(toSrgb(sky[i]));
  FILE* file = std::fopen(o.outPath.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "render_moon: cannot write %s\n", o.outPath.c_str());
    return false;
  }
  std::fprintf(file, "P6\n%d %d\n255\n", o.width, o.height);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  return ok;
}

bool parseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= low && value <= high;
}

bool parseVector(const char* text, Vec3& value) {
  char tail = 0;
  return std::sscanf(text, "%lf,%lf,%lf%c", &value.x, &value.y, &value.z, &tail) == 3 && dot(value, value) > 1e-6;
}

bool parseGlobe(int argc, char** argv, GlobeOptions& o) {
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char* v = argv[i + 1];
    double number = 0;
    bool ok = true;
    if (name == "--map")
      o.mapPath = v;
    else if (name == "--out")
      o.outPath = v;
    else if (name == "--light")
      ok = parseVector(v, o.light);
    else if (!parseNumber(v, -1e6, 1e6, number))
      ok = false;
    else if (name == "--size") {
      o.size = static_cast<int>(number);
      ok = o.size >= 1 && o.size <= 4096;
    } else if (name == "--diameter") {
      o.diameter = number;
      ok = number > 0;
    } else if (name == "--supersample") {
      o.supersample = static_cast<int>(number);
      ok = number >= 1 && number <= 32;
    } else if (name == "--longitude")
      o.centreLongitude = number;
    else if (name == "--latitude") {
      o.centreLatitude = number;
      ok = std::fabs(number) <= 90;
    } else if (name == "--exposure")
      o.exposure = number;
    else if (name == "--contrast")
      o.contrast = number;
    else if (name == "--saturation") {
      o.saturation = number;
      ok = number >= 0;
    } else if (name == "--night")
      o.night = number;
    else if (name == "--rim-width") {
      o.rimWidth = number;
      ok = number > 0 && number <= 1;
    } else if (name == "--rim-darken") {
      o.rimDarken = number;
      ok = number >= 0 && number <= 1;
    } else if (name == "--softness") {
      o.softness = number;
      ok = number > 0;
    } else if (name == "--lommel") {
      o.lommel = number;
      ok = number >= 0 && number <= 1;
    } else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "render_moon: bad option %s %s\n", name.c_str(), v);
      return false;
    }
  }
  return argc % 2 == 0 && !o.mapPath.empty() && !o.outPath.empty();
}

bool parseStars(int argc, char** argv, StarOptions& o) {
  if (argc != 7) return false;
  double w = 0, h = 0, n = 0, seed = 0;
  if (!parseNumber(argv[2], 1, 8192, w) || !parseNumber(argv[3], 1, 8192, h) || !parseNumber(argv[4], 0, 1e6, n) ||
      !parseNumber(argv[5], 0, 4294967295.0, seed))
    return false;
  o.width = static_cast<int>(w);
  o.height = static_cast<int>(h);
  o.count = static_cast<int>(n);
  o.seed = static_cast<unsigned>(seed);
  o.outPath = argv[6];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "globe") == 0) {
    GlobeOptions options;
    if (parseGlobe(argc, argv, options)) return renderGlobe(options) ? 0 : 1;
  } else if (std::strcmp(mode, "stars") == 0) {
    StarOptions options;
    if (parseStars(argc, argv, options)) return renderStars(options) ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: render_moon globe --map map.ppm --out globe.pam [--size PX] [--diameter PX]\n"
               "         [--supersample S] [--light X,Y,Z] [--longitude DEG] [--latitude DEG]\n"
               "         [--exposure F] [--contrast F] [--saturation F] [--night LINEAR] [--softness F] [--lommel F]\n"
               "         [--rim-width RADII] [--rim-darken F]\n"
               "       render_moon stars WIDTH HEIGHT COUNT SEED sky.ppm\n");
  return 2;
}
