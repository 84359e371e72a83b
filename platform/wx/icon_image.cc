#include "platform/wx/icon_image.h"

#include <wx/bitmap.h>

#include <cstdlib>
#include <cstring>
#include <vector>

wxImage IconImage(const IconResource& icon) {
  std::vector<std::uint8_t> rgba = IconRgba(icon);
  size_t pixels = static_cast<size_t>(icon.width) * icon.height;
  // wxImage takes ownership of malloc'ed buffers.
  auto* rgb = static_cast<unsigned char*>(std::malloc(pixels * 3));
  auto* alpha = static_cast<unsigned char*>(std::malloc(pixels));
  for (size_t i = 0; i < pixels; ++i) {
    std::memcpy(rgb + i * 3, &rgba[i * 4], 3);
    alpha[i] = rgba[i * 4 + 3];
  }
  return wxImage(icon.width, icon.height, rgb, alpha);
}

wxIcon ToolkitIcon(HICON handle) {
  const IconResource* icon = IconFromHandle(handle);
  if (!icon) return wxIcon();
  wxIcon result;
  result.CopyFromBitmap(wxBitmap(IconImage(*icon)));
  return result;
}
