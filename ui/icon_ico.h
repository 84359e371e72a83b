// An icon resource as a Windows icon file, for the executables' own
// resources: what Explorer and the Start menu show.
#ifndef VEILMARK_UI_ICON_ICO_H_
#define VEILMARK_UI_ICON_ICO_H_

#include <string>

#include "platform/framework/resources.h"

// The .ico file of `icon`: one image, 32-bit colour with its alpha and the
// mask older Windows draw with.
std::string IconIco(const IconResource& icon);

#endif  // VEILMARK_UI_ICON_ICO_H_
