// The shell's folder browser: SHGetMalloc, SHBrowseForFolderA and
// SHGetPathFromIDListA, shown as the window system's folder chooser.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_SHELL_BROWSE_H_
#define VEILMARK_PLATFORM_FRAMEWORK_SHELL_BROWSE_H_

#include "platform/framework/win_types.h"
#include "platform/framework/win_window.h"

typedef long HRESULT;
#define S_OK 0L
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)

#define BIF_RETURNONLYFSDIRS 0x0001u
#define BIF_DONTGOBELOWDOMAIN 0x0002u
#define BIF_STATUSTEXT 0x0004u
#define BIF_NEWDIALOGSTYLE 0x0040u

// A chosen item; the browser allocates it, the caller frees it with the
// shell's allocator.
struct ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

// The shell's allocator.
class IMalloc {
 public:
  virtual void Free(void* block) = 0;
  virtual unsigned long Release() = 0;

 protected:
  ~IMalloc() = default;
};

typedef int (*BFFCALLBACK)(HWND, UINT, LPARAM, LPARAM);

// Filled in full by its callers, as the shell's is; the stand-in reads the
// owner and the title only.
struct BROWSEINFOA {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;
  char* pszDisplayName;
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
};

HRESULT SHGetMalloc(IMalloc** allocator);
// Shows the folder chooser, modal to `info->hwndOwner`; the chosen folder,
// or null when the user cancelled or there is no window system.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
// Writes the item's path (at most MAX_PATH characters with the NUL) to
// `path`; FALSE, with `path` empty, when it does not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST item, char* path);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_SHELL_BROWSE_H_
