// An icon resource as a PNG file, for the desktop's icon theme.
#ifndef VEILMARK_UI_ICON_PNG_H_
#define VEILMARK_UI_ICON_PNG_H_

#include <string>

#include "platform/framework/resources.h"

// The PNG image of `icon`: 8-bit RGBA, stored without compression.
std::string IconPng(const IconResource& icon);

#endif  // VEILMARK_UI_ICON_PNG_H_
