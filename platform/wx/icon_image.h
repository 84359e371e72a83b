// Icons from the program's resources as wxWidgets' icons.
#ifndef VEILMARK_PLATFORM_WX_ICON_IMAGE_H_
#define VEILMARK_PLATFORM_WX_ICON_IMAGE_H_

#include <wx/icon.h>
#include <wx/image.h>

#include "platform/framework/resources.h"

wxImage IconImage(const IconResource& icon);
// The icon behind `handle` (from LoadIconA); an invalid icon for null.
wxIcon ToolkitIcon(HICON handle);

#endif  // VEILMARK_PLATFORM_WX_ICON_IMAGE_H_
