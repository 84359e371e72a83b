// Resources: the dialog templates, icons and version of the program, kept as
// data. The program's resource module is linked in as an object that
// registers itself before the program starts, as a resource script is
// compiled into an executable; a program without one (the command-line tool)
// finds no resources.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_RESOURCES_H_
#define VEILMARK_PLATFORM_FRAMEWORK_RESOURCES_H_

#include <cstdint>
#include <vector>

#include "platform/framework/win_types.h"
#include "platform/framework/win_window.h"

#define MAKEINTRESOURCEA(i) \
  (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))

// The window styles a template gives that the window system shows.
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_TABSTOP 0x00010000u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_AUTOCHECKBOX 0x3u
#define ES_MULTILINE 0x4u
#define ES_AUTOHSCROLL 0x80u

// One control of a dialog template; positions in dialog units.
struct DialogItemTemplate {
  const char* windowClass;  // "BUTTON" or "EDIT"
  const char* text;
  UINT id;
  short x, y, cx, cy;
  DWORD style;
};

struct DialogTemplate {
  UINT id;
  short cx, cy;  // dialog units; the window system centres the dialog
  DWORD style;
  const char* caption;
  const DialogItemTemplate* items;  // template order, which is tab order
  int itemCount;
};

// An icon drawn as rows of characters, one a pixel, each standing for a
// colour of the palette; ' ' is transparent.
struct IconPaletteEntry {
  char key;
  std::uint32_t rgb;  // 0xRRGGBB
};
struct IconResource {
  UINT id;
  int width, height;
  const char* const* rows;
  const IconPaletteEntry* palette;
  int paletteSize;
};

struct ResourceModule {
  const DialogTemplate* dialogs;
  int dialogCount;
  const IconResource* icons;
  int iconCount;
  const char* productVersion;  // what "PROGRAM --version" prints after the name
};

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

// Makes `module` the program's resources; returns true, for use as a static
// initializer.
bool RegisterResourceModule(const ResourceModule* module);

// The program's resources; null when it has none.
HINSTANCE AfxGetResourceHandle();
const ResourceModule* ResourceModuleFromHandle(HINSTANCE instance);

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, UINT id);

// The icon `name` (MAKEINTRESOURCEA of its id), or null.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
const IconResource* IconFromHandle(HICON icon);

// The icon's pixels, row by row from the top, four bytes each: red, green,
// blue and alpha (0 transparent, 255 opaque).
std::vector<std::uint8_t> IconRgba(const IconResource& icon);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_RESOURCES_H_
