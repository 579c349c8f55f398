// datapack: builds, checks and decodes the saver's JPEG data packs.
//
//   datapack build [--force] OUT IN.jpg [IN2.jpg]
//       writes a pack: count byte, then per image a 32-bit little-endian
//       length and the JPEG bytes. Refuses a picture outside the decoder's
//       subset (what verify reports) unless --force.
//   datapack verify PACK...
//       checks the count and the lengths against the file size and every
//       picture against the decoder's subset; prints what it finds and exits
//       with 1 if anything departs.
//   datapack decode [--image N] [--plain] [--keep-damaged] IN OUT.bmp
//       decodes a JPEG file, or image N (default 1) of a pack, with the
//       saver's decoder (the plain path with --plain) into a 24-bit BMP. A
//       picture the decoder had to finish with zero bits (cut short,
//       damaged) is refused with what verify says of it, unless
//       --keep-damaged.
//
// What a user can count on: an output is never one of the inputs (the same
// file under any name: compared by device and inode, not by spelling); it is
// written to a temporary file beside it and renamed into place only when
// complete and on disk, so a failed write leaves the old file as it was; the
// success line comes after the rename. Every message names its cause. Exit
// status 0 when done, 1 when a file was refused or not written, 2 when the
// command line is not understood.
//
// A native build tool; it shares the pack layout and the decoder with the
// saver through tavrin_core.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "assets/data_pack.h"
#include "assets/jpeg_decoder.h"
#include "assets/jpeg_subset.h"

namespace {

constexpr int kRefused = 1;
constexpr int kBadCommandLine = 2;

// Each command's usage line, and the whole usage.
const char* const kCommandUsage[][2] = {{"build", "datapack build [--force] OUT IN.jpg [IN2.jpg]"},
                                        {"verify", "datapack verify PACK..."},
                                        {"decode", "datapack decode [--image N] [--plain] [--keep-damaged] IN OUT.bmp"},
                                        {"--help", "datapack --help"}};

void printUsage(FILE* to, const std::string& command) {
  bool first = true;
  for (const auto& [name, line] : kCommandUsage) {
    if (!command.empty() && command != name) continue;
    std::fprintf(to, "%s%s\n", first ? "usage: " : "       ", line);
    first = false;
  }
}

const char* const kHelp =
    "\n"
    "build    packs one or two JPEG pictures into OUT. Each must stay inside the\n"
    "         decoder's subset (what verify checks); --force packs it anyway.\n"
    "verify   checks each pack: its count byte and lengths, and every picture\n"
    "         against the decoder's subset. Exit status 1 if anything departs.\n"
    "decode   decodes a JPEG file, or picture N (1 or 2, default 1) of a pack,\n"
    "         into a 24-bit BMP with the saver's decoder (--plain: its simple\n"
    "         reference path). A picture the decoder can only finish with zero\n"
    "         bits (cut short, damaged) is refused with what verify says of it;\n"
    "         --keep-damaged writes what decoded.\n"
    "\n"
    "An output is never one of the inputs, and replaces an existing file only\n"
    "once it is complete. Exit status: 0 done, 1 a file refused or not written,\n"
    "2 a command line not understood.\n";

bool say(const char* path, const std::string& what) {
  std::fprintf(stderr, "datapack: %s: %s\n", path, what.c_str());
  return false;
}

// The problem, then the command's usage (all of it for an unknown command).
int badCommandLine(const std::string& what, const std::string& command = "") {
  std::fprintf(stderr, "datapack: %s\n", what.c_str());
  printUsage(stderr, command);
  return kBadCommandLine;
}

// What a file that is not what the command wants looks like, from its first
// bytes; null when it looks like nothing known.
const char* lookOf(const std::vector<uint8_t>& bytes) {
  struct Signature {
    const char* magic;
    size_t length;
    const char* what;
  };
  static const Signature kSignatures[] = {{"\xFF\xD8\xFF", 3, "a JPEG picture"},
                                          {"BM", 2, "a BMP picture"},
                                          {"\x89PNG", 4, "a PNG picture"},
                                          {"GIF8", 4, "a GIF picture"},
                                          {"MZ", 2, "a Windows program"}};
  for (const Signature& signature : kSignatures) {
    if (bytes.size() >= signature.length && std::memcmp(bytes.data(), signature.magic, signature.length) == 0) {
      return signature.what;
    }
  }
  PackImage images[2] = {};
  const int32_t count = dataPackCountByte(bytes.data(), bytes.size());
  if ((count == 1 || count == 2) && readDataPack(bytes.data(), bytes.size(), count, images)) return "a data pack";
  return nullptr;
}

bool isJpeg(const std::vector<uint8_t>& bytes) { return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

struct Input {
  const char* path = nullptr;
  std::vector<uint8_t> bytes;
  dev_t device = 0;
  ino_t inode = 0;
};

// The whole file, or false after saying why not.
bool readInput(const char* path, Input& input) {
  input.path = path;
  const int file = open(path, O_RDONLY | O_CLOEXEC);
  if (file < 0)
    return say(path, errno == ENOENT ? "no such file" : std::string("cannot open: ") + std::strerror(errno));
  struct stat info = {};
  bool ok = fstat(file, &info) == 0;
  if (ok && S_ISDIR(info.st_mode)) {
    close(file);
    return say(path, "a directory, not a file");
  }
  input.device = info.st_dev;
  input.inode = info.st_ino;
  uint8_t chunk[65536];
  while (ok) {
    const ssize_t got = read(file, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    ok = got > 0;
    if (ok) input.bytes.insert(input.bytes.end(), chunk, chunk + got);
  }
  const int readError = errno;
  close(file);
  if (!ok) return say(path, std::string("cannot read: ") + std::strerror(readError));
  if (input.bytes.empty()) return say(path, "an empty file");
  if (input.bytes.size() > size_t(INT32_MAX)) return say(path, "over 2 GB: larger than any pack or picture can be");
  return true;
}

// True (after saying so) when the output path names a directory or one of the
// inputs, reached through whatever spelling or link.
bool outputRefused(const char* out, const std::vector<Input>& inputs) {
  struct stat info = {};
  if (stat(out, &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) return !say(out, "a directory: the output must be a file");
  for (const Input& input : inputs) {
    if (info.st_dev == input.device && info.st_ino == input.inode) {
      return !say(out, std::string("the same file as the input ") + input.path + ": not written over");
    }
  }
  return false;
}

// The temporary output being written, for the signal handler to remove.
char temporaryPath[PATH_MAX + 64];

void removeTemporaryAndStop(int signal) {
  if (temporaryPath[0] != 0) unlink(temporaryPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

bool writeAll(int file, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(file, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) return errno = EIO, false;
    data += written;
    size -= size_t(written);
  }
  return true;
}

// Writes the parts, in order, to a temporary file in the output's folder and
// renames it over the output once it is complete and on disk. A link is
// followed, so that its target is replaced and the link stays. On failure
// the temporary file is removed, an existing output is untouched, and the
// cause is said.
bool writeOutput(const char* out, std::initializer_list<std::pair<const uint8_t*, size_t>> parts) {
  std::string target = out;
  struct stat info = {};
  if (lstat(out, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(out, resolved) != nullptr) target = resolved;
  }
  const bool existed = stat(target.c_str(), &info) == 0;
  const mode_t mask = umask(0);
  umask(mask);
  const mode_t mode = existed ? info.st_mode & 0777 : 0666 & ~mask;

  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string pattern = folder + (slash == std::string::npos ? "/." : ".") + name + ".datapack-XXXXXX";
  const std::string unchanged = existed ? std::string("; ") + out + " is left as it was" : "; nothing written";
  if (pattern.size() >= sizeof temporaryPath) return say(out, "cannot write: the path is too long");
  std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
  const int file = mkstemp(temporaryPath);
  if (file < 0) {
    const int error = errno;
    temporaryPath[0] = 0;
    return say(out, std::string("cannot write: ") + std::strerror(error) + unchanged);
  }
  int error = 0;  // the first step's that failed
  const auto step = [&error](bool done) {
    if (!done && error == 0) error = errno;
    return done;
  };
  bool ok = step(fchmod(file, mode) == 0);
  for (const auto& [data, size] : parts) ok = ok && step(writeAll(file, data, size));
  ok = ok && step(fsync(file) == 0);
  ok = step(close(file) == 0) && ok;
  ok = ok && step(rename(temporaryPath, target.c_str()) == 0);
  if (!ok) {
    unlink(temporaryPath);
    temporaryPath[0] = 0;
    return say(out, std::string("cannot write: ") + std::strerror(error) + unchanged);
  }
  temporaryPath[0] = 0;
  return true;
}

// How a file reads as a pack. `problem` is empty for a good pack; `count` is
// the number of images its lengths lay out, whatever its count byte says (0
// when they lay out none).
struct PackReading {
  int32_t count = 0;
  PackImage images[2] = {};
  bool notAPack = false;
  std::string problem;
};

PackReading readPack(const std::vector<uint8_t>& bytes) {
  PackReading pack;
  for (int32_t count = 1; count <= 2; ++count) {
    PackImage images[2] = {};
    if (!readDataPack(bytes.data(), bytes.size(), count, images)) continue;
    pack.count = count;
    pack.images[0] = images[0];
    pack.images[1] = images[1];
  }
  const int32_t countByte = dataPackCountByte(bytes.data(), bytes.size());
  if (pack.count != 0 && pack.count != countByte) {
    pack.problem = "count byte " + std::to_string(countByte) + ", but its lengths lay out " +
                   std::to_string(pack.count) + (pack.count == 1 ? " image" : " images");
  } else if (pack.count == 0 && (countByte == 1 || countByte == 2)) {
    PackImage images[2] = {};
    DataPackFault fault = DataPackFault::none;
    readDataPack(bytes.data(), bytes.size(), countByte, images, &fault);
    pack.problem = std::string("a damaged pack: ") + dataPackFaultText(fault);
  } else if (pack.count == 0) {
    pack.notAPack = true;
    const char* look = lookOf(bytes);
    pack.problem = look != nullptr ? std::string("it looks like ") + look
                                   : "its first byte, the count, is " + std::to_string(countByte) + ", not 1 or 2";
  }
  return pack;
}

// Command-line words after the command: options anywhere, "--" ends them.
struct Options {
  std::vector<const char*> operands;
  bool force = false;
  bool plain = false;
  bool keepDamaged = false;
  int32_t image = 0;  // 0: not given
};

// False after saying what is wrong. `allowed` lists the options the command takes.
bool parseOptions(int argc, char** argv, const char* command, const std::vector<std::string>& allowed, Options& options,
                  std::string& problem) {
  bool optionsEnded = false;
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      options.operands.push_back(argv[i]);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    bool known = false;
    for (const std::string& option : allowed) known = known || option == word;
    if (!known) {
      problem = std::string(command) + " takes no option " + word;
      return false;
    }
    if (word == "--force") options.force = true;
    if (word == "--plain") options.plain = true;
    if (word == "--keep-damaged") options.keepDamaged = true;
    if (word == "--image") {
      const char* number = i + 1 < argc ? argv[++i] : "";
      const size_t digits = std::strspn(number, "0123456789");
      const long value = digits > 0 && digits <= 9 && number[digits] == 0 ? std::strtol(number, nullptr, 10) : 0;
      if (value < 1) {
        problem = std::string("--image takes a positive number (1 or 2), not \"") + number + "\"";
        return false;
      }
      options.image = int32_t(value);
    }
  }
  return true;
}

int build(const Options& options) {
  if (options.operands.size() < 2 || options.operands.size() > 3) {
    return badCommandLine("build takes OUT and one or two pictures", "build");
  }
  const char* out = options.operands[0];
  std::vector<Input> inputs(options.operands.size() - 1);
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!readInput(options.operands[1 + i], inputs[i])) return kRefused;
  }
  if (outputRefused(out, inputs)) return kRefused;
  const char* warning = options.force ? "warning: " : "";
  bool refused = false;
  PackImage images[2] = {};
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& input = inputs[i];
    images[i] = PackImage{input.bytes.data(), int32_t(input.bytes.size())};
    const std::vector<JpegDeparture> departures = checkJpegSubset(input.bytes.data(), input.bytes.size());
    if (departures.empty()) continue;
    refused = refused || !options.force;
    const char* look = lookOf(input.bytes);
    if (!isJpeg(input.bytes)) {
      say(input.path,
          std::string(warning) + "not a JPEG" + (look != nullptr ? std::string(": it looks like ") + look : ""));
      continue;
    }
    for (const JpegDeparture departure : departures)
      say(input.path, warning + std::string(jpegDepartureText(departure)));
  }
  if (refused)
    return say(out, "not written: a picture outside the decoder's subset (--force packs it anyway)"), kRefused;
  const std::vector<uint8_t> pack = makeDataPack(images, int32_t(inputs.size()));
  if (!writeOutput(out, {{pack.data(), pack.size()}})) return kRefused;
  std::printf("%s: %zu bytes", out, pack.size());
  for (size_t i = 0; i < inputs.size(); ++i) std::printf(", image %zu %d bytes", i + 1, images[i].length);
  std::printf("\n");
  return 0;
}

// Prints what one file holds; true when it is a pack without departures.
bool verifyPack(const char* path) {
  Input input;
  if (!readInput(path, input)) return false;
  const PackReading pack = readPack(input.bytes);
  if (pack.notAPack) std::printf("%s: not a pack: %s\n", path, pack.problem.c_str());
  if (!pack.notAPack && !pack.problem.empty()) std::printf("%s: %s\n", path, pack.problem.c_str());
  bool clean = pack.problem.empty();
  for (int32_t i = 0; i < pack.count; ++i) {
    const PackImage& image = pack.images[i];
    const std::vector<JpegDeparture> departures = checkJpegSubset(image.data, size_t(image.length));
    for (const JpegDeparture departure : departures) {
      std::printf("%s: image %d: %s\n", path, i + 1, jpegDepartureText(departure));
    }
    clean = clean && departures.empty();
    if (departures.empty()) {
      JpegDecoder decoder;
      int32_t width = 0;
      int32_t height = 0;
      int32_t headerLength = 0;
      decoder.readHeader(image.data, image.length, width, height, headerLength);
      std::printf("%s: image %d: %d x %d, %d bytes, inside the subset\n", path, i + 1, width, height, image.length);
    }
  }
  return clean;
}

int verify(const Options& options) {
  if (options.operands.empty()) return badCommandLine("verify takes one or more packs", "verify");
  bool clean = true;
  for (const char* path : options.operands) clean = verifyPack(path) && clean;
  return clean ? 0 : kRefused;
}

// A bottom-up 24-bit BMP is the decoder's own layout: the headers, then the
// picture's buffer as it is, written straight from it. A second copy would
// double the tool's peak (25 MB more for the largest lunar map) and cost the
// time of touching that much fresh memory. The decoder leaves the row padding
// unwritten, so it is zeroed in place first.
bool writeBmp(const char* path, RgbImage& image) {
  const uint32_t stride = uint32_t(rgbImageStride(image.width));
  const uint32_t pixelBytes = stride * uint32_t(image.height);
  std::vector<uint8_t> header;
  const auto put = [&header](uint32_t value, int32_t bytes) {
    for (int32_t i = 0; i < bytes; ++i) header.push_back(uint8_t(value >> (8 * i)));
  };
  header.push_back('B');
  header.push_back('M');
  put(14 + 40 + pixelBytes, 4);  // file size
  put(0, 4);                     // reserved
  put(14 + 40, 4);               // offset of the pixels
  put(40, 4);                    // BITMAPINFOHEADER size
  put(uint32_t(image.width), 4);
  put(uint32_t(image.height), 4);  // positive: bottom-up
  put(1, 2);                       // planes
  put(24, 2);                      // bits per pixel
  put(0, 4);                       // BI_RGB
  put(pixelBytes, 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  const uint32_t used = 3 * uint32_t(image.width);
  for (uint32_t row = 0; row < uint32_t(image.height); ++row) {
    std::memset(image.pixels + size_t(row) * stride + used, 0, stride - used);
  }
  return writeOutput(path, {{header.data(), header.size()}, {image.pixels, pixelBytes}});
}

int decode(const Options& options) {
  if (options.operands.size() != 2) return badCommandLine("decode takes IN and OUT.bmp", "decode");
  std::vector<Input> inputs(1);
  Input& input = inputs[0];
  if (!readInput(options.operands[0], input)) return kRefused;
  const char* out = options.operands[1];
  if (outputRefused(out, inputs)) return kRefused;

  PackImage image{input.bytes.data(), int32_t(input.bytes.size())};
  std::string where;  // "image N: " for a picture of a pack
  if (isJpeg(input.bytes)) {
    if (options.image != 0) {
      return badCommandLine(std::string("--image picks a picture of a pack, and ") + input.path + " is a JPEG picture",
                            "decode");
    }
  } else {
    const PackReading pack = readPack(input.bytes);
    if (pack.notAPack) return say(input.path, "neither a JPEG nor a pack: " + pack.problem), kRefused;
    if (!pack.problem.empty()) return say(input.path, pack.problem), kRefused;
    const int32_t index = options.image == 0 ? 1 : options.image;
    if (index > pack.count) {
      return badCommandLine(std::string(input.path) + " holds " + std::to_string(pack.count) +
                                (pack.count == 1 ? " image" : " images") + ": there is no image " +
                                std::to_string(index),
                            "decode");
    }
    image = pack.images[index - 1];
    where = "image " + std::to_string(index) + ": ";
  }

  JpegDecodeReport report;
  RgbImage* picture = options.plain ? decodeJpegPlain(image.data, image.length, {}, &report)
                                    : decodeJpeg(image.data, image.length, {}, &report);
  if (picture == nullptr) {
    JpegDecoder probe;
    int32_t width = 0;
    int32_t height = 0;
    int32_t headerLength = 0;
    const bool sized = probe.readHeader(image.data, image.length, width, height, headerLength);
    const std::string cause = report.headerFault != JpegHeaderFault::none ? jpegHeaderFaultText(report.headerFault)
                              : sized
                                  ? "not enough memory for " + std::to_string(width) + " x " + std::to_string(height)
                                  : "a frame of width or height 0";
    return say(input.path, where + "cannot decode: " + cause), kRefused;
  }
  if (report.scanFaults != 0) {
    const char* warning = options.keepDamaged ? "warning: " : "";
    for (const JpegDeparture departure : checkJpegSubset(image.data, size_t(image.length))) {
      say(input.path, warning + where + jpegDepartureText(departure));
    }
    if (!options.keepDamaged) {
      freeRgbImage(picture);
      return say(out, "not written: the picture is damaged (--keep-damaged writes what decoded)"), kRefused;
    }
  }
  const bool written = writeBmp(out, *picture);
  if (written) std::printf("%s: %d x %d\n", out, picture->width, picture->height);
  freeRgbImage(picture);
  return written ? 0 : kRefused;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must fail the write (and leave the old file), not end the process midway.
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int stop : {SIGINT, SIGTERM, SIGHUP}) std::signal(stop, removeTemporaryAndStop);

  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      printUsage(stdout, "");
      std::printf("%s", kHelp);
      return 0;
    }
  }
  const std::string command = argc > 1 ? argv[1] : "";
  Options options;
  std::string problem;
  const std::vector<std::string> allowed = command == "build" ? std::vector<std::string>{"--force"}
                                           : command == "decode"
                                               ? std::vector<std::string>{"--image", "--plain", "--keep-damaged"}
                                               : std::vector<std::string>{};
  if (command != "build" && command != "verify" && command != "decode") {
    return badCommandLine(command.empty() ? "no command" : "unknown command " + command);  // all of the usage
  }
  if (!parseOptions(argc, argv, command.c_str(), allowed, options, problem)) return badCommandLine(problem, command);
  if (command == "build") return build(options);
  if (command == "verify") return verify(options);
  return decode(options);
}
