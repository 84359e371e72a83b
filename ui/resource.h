// Resource identifiers of the dialog and its controls (IDOK and IDCANCEL
// are the window system's).
#ifndef VEILMARK_UI_RESOURCE_H_
#define VEILMARK_UI_RESOURCE_H_

#define IDD_VEILMARK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_SELECT_FOLDER 1000
#define IDC_FOLDER 1001
#define IDC_ANONYMIZE 1003
#define IDC_LOG 1004
#define IDC_PROFILE 1005

#endif  // VEILMARK_UI_RESOURCE_H_
