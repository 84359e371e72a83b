#include "ui/icon_ico.h"

#include <cstdint>
#include <vector>

namespace {

void PutLittle(std::uint32_t value, int bytes, std::string* out) {
  for (int i = 0; i < bytes; ++i) {
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

}  // namespace

std::string IconIco(const IconResource& icon) {
  const std::vector<std::uint8_t> rgba = IconRgba(icon);
  const std::uint32_t width = static_cast<std::uint32_t>(icon.width);
  const std::uint32_t height = static_cast<std::uint32_t>(icon.height);
  // The image: a bitmap header of twice the height (colour, then mask),
  // rows from the bottom up, blue, green, red and alpha; then the mask, one
  // bit a pixel (set: transparent), each row padded to four bytes.
  std::string image;
  PutLittle(40, 4, &image);
  PutLittle(width, 4, &image);
  PutLittle(height * 2, 4, &image);
  PutLittle(1, 2, &image);   // planes
  PutLittle(32, 2, &image);  // bits a pixel
  for (int i = 0; i < 6; ++i) PutLittle(0, 4, &image);
  for (std::uint32_t row = height; row-- > 0;) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* pixel = &rgba[(row * width + x) * 4];
      image += {static_cast<char>(pixel[2]), static_cast<char>(pixel[1]),
                static_cast<char>(pixel[0]), static_cast<char>(pixel[3])};
    }
  }
  const std::uint32_t maskRow = (width + 31) / 32 * 4;
  for (std::uint32_t row = height; row-- > 0;) {
    std::string bits(maskRow, '\0');
    for (std::uint32_t x = 0; x < width; ++x) {
      if (rgba[(row * width + x) * 4 + 3] == 0) {
        bits[x / 8] = static_cast<char>(bits[x / 8] | (0x80 >> (x % 8)));
      }
    }
    image += bits;
  }
  // The file: its header, one directory entry, the image.
  std::string ico;
  PutLittle(0, 2, &ico);
  PutLittle(1, 2, &ico);  // an icon
  PutLittle(1, 2, &ico);  // one image
  ico.push_back(static_cast<char>(width >= 256 ? 0 : width));
  ico.push_back(static_cast<char>(height >= 256 ? 0 : height));
  PutLittle(0, 2, &ico);  // no palette
  PutLittle(1, 2, &ico);
  PutLittle(32, 2, &ico);
  PutLittle(static_cast<std::uint32_t>(image.size()), 4, &ico);
  PutLittle(6 + 16, 4, &ico);
  return ico + image;
}
