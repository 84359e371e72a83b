#include "ui/icon_png.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

std::uint32_t Crc32(const std::string& bytes, size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return crc ^ 0xFFFFFFFFu;
}

void PutBig32(std::uint32_t value, std::string* out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

void PutChunk(const char* type, const std::string& data, std::string* out) {
  PutBig32(static_cast<std::uint32_t>(data.size()), out);
  size_t start = out->size();
  out->append(type, 4);
  out->append(data);
  PutBig32(Crc32(*out, start), out);
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
  std::string out("\x78\x01", 2);
  size_t at = 0;
  do {
    size_t length = std::min<size_t>(raw.size() - at, 65535);
    bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(~length & 0xFF));
    out.push_back(static_cast<char>((~length >> 8) & 0xFF));
    out.append(raw, at, length);
    at += length;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32((b << 16) | a, &out);
  return out;
}

}  // namespace

std::string IconPng(const IconResource& icon) {
  std::vector<std::uint8_t> rgba = IconRgba(icon);
  std::string raw;
  size_t row_bytes = static_cast<size_t>(icon.width) * 4;
  for (int y = 0; y < icon.height; ++y) {
    raw.push_back('\0');  // no filter
    raw.append(reinterpret_cast<const char*>(&rgba[y * row_bytes]), row_bytes);
  }
  std::string header;
  PutBig32(static_cast<std::uint32_t>(icon.width), &header);
  PutBig32(static_cast<std::uint32_t>(icon.height), &header);
  header.append("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, no interlace

  std::string png("\x89PNG\r\n\x1A\n", 8);
  PutChunk("IHDR", header, &png);
  PutChunk("IDAT", StoredZlib(raw), &png);
  PutChunk("IEND", "", &png);
  return png;
}
