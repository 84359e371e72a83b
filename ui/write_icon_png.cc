// write-icon-png FILE SIZE: writes the program's icon (IDR_MAINFRAME of its
// resources) to FILE as a PNG image, for installing in the desktop's icon
// theme under SIZExSIZE, or, for a FILE whose name ends in ".ico", as a
// Windows icon file, for the executables' resources. Fails when the icon is
// not SIZE pixels square, so that the theme's folder always names the
// icon's real size.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/framework/resources.h"
#include "ui/icon_ico.h"
#include "ui/icon_png.h"
#include "ui/resource.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: write-icon-png FILE SIZE\n", stderr);
    return 2;
  }
  const IconResource* icon = IconFromHandle(
      LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)));
  if (!icon) {
    std::fputs("write-icon-png: the resources hold no program icon\n", stderr);
    return 1;
  }
  int size = std::atoi(argv[2]);
  if (icon->width != size || icon->height != size) {
    std::fprintf(stderr, "write-icon-png: the icon is %dx%d, not %dx%d\n",
                 icon->width, icon->height, size, size);
    return 1;
  }
  const std::string name = argv[1];
  const bool ico =
      name.size() > 4 && name.compare(name.size() - 4, 4, ".ico") == 0;
  const std::string image = ico ? IconIco(*icon) : IconPng(*icon);
  FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(image.data(), 1, image.size(), out) != image.size() ||
      std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
