// Build-time tool: writes the desktop icons of the hicolor theme from the picture the main window
// uses, so that there is one picture to maintain. Each size is the picture enlarged by a whole
// factor, pixel for pixel; the files are palette PNGs.
//
//   tv_write_icon_pngs <theme directory> <icon name> <size>...
// writes <theme directory>/<size>x<size>/apps/<icon name>.png for every size.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/TallyvaneIcon.h"

namespace {

struct Rgba {
  uint8_t r, g, b, a;
};

struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<Rgba> palette;
  std::vector<uint8_t> pixels;  // palette indices, rows top to bottom
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::runtime_error(std::string("not a hexadecimal digit: ") + c);
}

// The colour of one XPM colour line: "None" or "#RRGGBB" under the key "c".
Rgba ParseColour(const std::string& line, int charsPerPixel) {
  std::istringstream words(line.substr(charsPerPixel));
  std::string key, value;
  while (words >> key >> value) {
    if (key != "c") continue;
    if (value == "None" || value == "none") return {0, 0, 0, 0};
    if (value.size() == 7 && value[0] == '#') {
      auto byte = [&](int at) {
        return static_cast<uint8_t>(HexDigit(value[at]) * 16 + HexDigit(value[at + 1]));
      };
      return {byte(1), byte(3), byte(5), 255};
    }
    throw std::runtime_error("unsupported XPM colour: " + value);
  }
  throw std::runtime_error("XPM colour line without a colour: " + line);
}

IndexedImage ParseXpm(const char* const* xpm) {
  IndexedImage image;
  int colours = 0, charsPerPixel = 0;
  if (std::sscanf(xpm[0], "%d %d %d %d", &image.width, &image.height, &colours, &charsPerPixel) !=
          4 ||
      image.width <= 0 || image.height <= 0 || colours <= 0 || colours > 256 || charsPerPixel <= 0)
    throw std::runtime_error(std::string("bad XPM header: ") + xpm[0]);
  std::map<std::string, uint8_t> indexOf;
  for (int i = 0; i < colours; ++i) {
    const std::string line = xpm[1 + i];
    if (static_cast<int>(line.size()) < charsPerPixel)
      throw std::runtime_error("short XPM colour line: " + line);
    indexOf[line.substr(0, charsPerPixel)] = static_cast<uint8_t>(i);
    image.palette.push_back(ParseColour(line, charsPerPixel));
  }
  for (int y = 0; y < image.height; ++y) {
    const char* row = xpm[1 + colours + y];
    if (static_cast<int>(std::strlen(row)) != image.width * charsPerPixel)
      throw std::runtime_error("XPM row " + std::to_string(y) + " has the wrong length");
    for (int x = 0; x < image.width; ++x) {
      const auto found = indexOf.find(std::string(row + x * charsPerPixel, charsPerPixel));
      if (found == indexOf.end())
        throw std::runtime_error("XPM row " + std::to_string(y) + " uses an undefined colour");
      image.pixels.push_back(found->second);
    }
  }
  return image;
}

IndexedImage Enlarge(const IndexedImage& source, int factor) {
  IndexedImage image = source;
  image.width = source.width * factor;
  image.height = source.height * factor;
  image.pixels.clear();
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      image.pixels.push_back(source.pixels[(y / factor) * source.width + x / factor]);
  return image;
}

// Deflate with the fixed Huffman codes. An enlarged picture is runs of equal bytes and rows
// equal to the row above, so looking back one byte and one row finds nearly every repeat.
class Deflater {
 public:
  std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, size_t rowLength) {
    Bits(1, 1);  // the last block
    Bits(1, 2);  // fixed codes
    size_t at = 0;
    while (at < data.size()) {
      size_t bestLength = 0, bestDistance = 0;
      for (size_t distance : {size_t{1}, rowLength}) {
        if (distance == 0 || distance > at || distance > 32768) continue;
        size_t length = 0;
        while (length < 258 && at + length < data.size() &&
               data[at + length] == data[at + length - distance])
          ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = distance;
        }
      }
      if (bestLength >= 3) {
        Match(bestLength, bestDistance);
        at += bestLength;
      } else {
        Symbol(data[at++]);
      }
    }
    Symbol(256);
    if (used_ > 0) out_.push_back(static_cast<uint8_t>(pending_));
    return out_;
  }

 private:
  // Extra bits and ordinary values go out least significant bit first.
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      pending_ |= ((value >> i) & 1u) << used_;
      if (++used_ == 8) {
        out_.push_back(static_cast<uint8_t>(pending_));
        pending_ = 0;
        used_ = 0;
      }
    }
  }
  // Huffman codes go out most significant bit first.
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
  }
  void Symbol(int symbol) {
    if (symbol < 144)
      Code(0x30 + symbol, 8);
    else if (symbol < 256)
      Code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
      Code(symbol - 256, 7);
    else
      Code(0xC0 + symbol - 280, 8);
  }
  void Match(size_t length, size_t distance) {
    static constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                        15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                        67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::array<int, 29> kLengthExtra = {
        0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static constexpr std::array<int, 30> kDistanceBase = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                           4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                           9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    int l = 28;
    while (kLengthBase[l] > static_cast<int>(length)) --l;
    Symbol(257 + l);
    Bits(static_cast<uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
    int d = 29;
    while (kDistanceBase[d] > static_cast<int>(distance)) --d;
    Code(d, 5);
    Bits(static_cast<uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
  }

  std::vector<uint8_t> out_;
  uint32_t pending_ = 0;
  int used_ = 0;
};

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
  PutBigEndian(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBigEndian(png, Crc32(png.data() + start, png.size() - start));
}

std::vector<uint8_t> EncodePng(const IndexedImage& image) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(image.width));
  PutBigEndian(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette indices, no interlace
  PutChunk(png, "IHDR", header);

  std::vector<uint8_t> palette, alpha;
  for (const Rgba& c : image.palette) palette.insert(palette.end(), {c.r, c.g, c.b});
  for (const Rgba& c : image.palette) alpha.push_back(c.a);
  while (!alpha.empty() && alpha.back() == 255) alpha.pop_back();
  PutChunk(png, "PLTE", palette);
  if (!alpha.empty()) PutChunk(png, "tRNS", alpha);

  // Each row starts with its filter type, 0: the bytes as they are.
  std::vector<uint8_t> raw;
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), image.pixels.begin() + y * image.width,
               image.pixels.begin() + (y + 1) * image.width);
  }
  std::vector<uint8_t> stream = {0x78, 0x01};
  const std::vector<uint8_t> deflated =
      Deflater().Compress(raw, static_cast<size_t>(image.width) + 1);
  stream.insert(stream.end(), deflated.begin(), deflated.end());
  PutBigEndian(stream, Adler32(raw));
  PutChunk(png, "IDAT", stream);
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <theme directory> <icon name> <size>...\n", argv[0]);
    return 2;
  }
  try {
    const IndexedImage picture = ParseXpm(kTallyvaneIcon);
    for (int i = 3; i < argc; ++i) {
      const int size = std::stoi(argv[i]);
      if (picture.width != picture.height || size <= 0 || size % picture.width != 0)
        throw std::runtime_error("size " + std::string(argv[i]) +
                                 " is not a whole multiple of the square picture's " +
                                 std::to_string(picture.width));
      const std::vector<uint8_t> png = EncodePng(Enlarge(picture, size / picture.width));
      const std::string side = std::to_string(size);
      const std::filesystem::path folder =
          std::filesystem::path(argv[1]) / (side + "x" + side) / "apps";
      std::filesystem::create_directories(folder);
      const std::filesystem::path file = folder / (std::string(argv[2]) + ".png");
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(png.data()),
                static_cast<std::streamsize>(png.size()));
      if (!out) throw std::runtime_error("cannot write " + file.string());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
