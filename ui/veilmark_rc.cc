// The resource script: dialog template 102, icon 128 and the product
// version (project()'s, from CMakeLists.txt), as data. Linked
// into the windowed program, it registers itself as the program's
// resources.
#include "platform/framework/resources.h"
#include "ui/resource.h"
#include "veilmark_version.h"

namespace {

const DialogItemTemplate kMainDialogItems[] = {
    {"BUTTON", "Exit", IDOK, 124, 130, 50, 16, WS_TABSTOP},
    {"BUTTON", "Select Folder...", IDC_SELECT_FOLDER, 7, 7, 64, 16, WS_TABSTOP},
    {"EDIT", "", IDC_FOLDER, 76, 9, 163, 12,
     ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"BUTTON", "Remove other identifying data (DICOM Basic Profile)",
     IDC_PROFILE, 7, 24, 232, 12, BS_AUTOCHECKBOX | WS_TABSTOP},
    {"BUTTON", "Anonymize", IDC_ANONYMIZE, 70, 130, 50, 16,
     BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"EDIT", "", IDC_LOG, 7, 39, 232, 89,
     ES_MULTILINE | ES_AUTOHSCROLL | WS_BORDER | WS_HSCROLL | WS_TABSTOP},
};

const DialogTemplate kDialogs[] = {
    {IDD_VEILMARK_DIALOG, 246, 153, WS_CAPTION | WS_SYSMENU, "Veilmark",
     kMainDialogItems, sizeof kMainDialogItems / sizeof kMainDialogItems[0]},
};

// A patient's head and shoulders on a teal badge, the eyes hidden under a
// black bar.
const char* const kMainIconRows[32] = {
    "                                ", "    bbbbbbbbbbbbbbbbbbbbbbbb    ",
    "  bbbttttttttttttttttttttttbbb  ", "  bttttttttttttttttttttttttttb  ",
    " bbttttttttttttttttttttttttttbb ", " bttttttttttttttttttttttttttttb ",
    " bttttttttttttwwwwttttttttttttb ", " bttttttttttwwwwwwwwttttttttttb ",
    " btttttttttwwwwwwwwwstttttttttb ", " bttttkkkkkkkkkkkkkkkkkkkkttttb ",
    " bttttkkgkkkkkkkkkkkkkkkkkttttb ", " bttttkkgkkkkkkkkkkkkkkkkkttttb ",
    " bttttkkkkkkkkkkkkkkkkkkkkttttb ", " bttttkkkkkkkkkkkkkkkkkkkkttttb ",
    " bttttttttwwwwwwwwwwssttttttttb ", " bttttttttwwwwwwwwwwssttttttttb ",
    " btttttttttwwwwwwwwwstttttttttb ", " bttttttttttwwwwwwwwttttttttttb ",
    " btttttttttttwwwwwwtttttttttttb ", " btttttttttttwwwwwwtttttttttttb ",
    " btttttttttttwwwwwwtttttttttttb ", " bttttttttttwwwwwwwwttttttttttb ",
    " bttttttttwwwwwwwwwwwwttttttttb ", " bttttttwwwwwwwwwwwwwwwsttttttb ",
    " btttttwwwwwwwwwwwwwwwwsstttttb ", " bttttwwwwwwwwwwwwwwwwwsssttttb ",
    " bttttwwwwwwwwwwwwwwwwwsssttttb ", " bbttwwwwwwwwwwwwwwwwwwssssttbb ",
    "  bttwwwwwwwwwwwwwwwwwwssssttb  ", "  bbbwwwwwwwwwwwwwwwwwwssssbbb  ",
    "    bbbbbbbbbbbbbbbbbbbbbbbb    ", "                                ",
};

const IconPaletteEntry kMainIconPalette[] = {
    {'b', 0x0B4F5C},  // badge border
    {'t', 0x1F8FA3},  // badge
    {'w', 0xF4F6F8},  // figure
    {'s', 0xC5D0D8},  // figure, shaded side
    {'k', 0x121212},  // bar
    {'g', 0x4A4A4A},  // bar, glint
};

const IconResource kIcons[] = {
    {IDR_MAINFRAME, 32, 32, kMainIconRows, kMainIconPalette,
     sizeof kMainIconPalette / sizeof kMainIconPalette[0]},
};

const ResourceModule kModule = {
    kDialogs,         sizeof kDialogs / sizeof kDialogs[0],
    kIcons,           sizeof kIcons / sizeof kIcons[0],
    VEILMARK_VERSION,
};

const bool kRegistered = RegisterResourceModule(&kModule);

}  // namespace
