// write-icon-png FILE ID: writes icon ID of the program's resources to FILE
// as a PNG image, for installing in the desktop's icon theme.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/resources.h"
#include "ui/icon_png.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: write-icon-png FILE ID\n", stderr);
    return 2;
  }
  HICON handle =
      LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(std::atoi(argv[2])));
  const IconResource* icon = IconFromHandle(handle);
  if (!icon) {
    std::fprintf(stderr, "write-icon-png: no icon %s\n", argv[2]);
    return 1;
  }
  std::string png = IconPng(*icon);
  FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(png.data(), 1, png.size(), out) != png.size() ||
      std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
