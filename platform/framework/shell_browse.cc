#include "platform/framework/shell_browse.h"

#include <cstring>
#include <string>

#include "platform/framework/window_system.h"

struct ITEMIDLIST {
  std::string path;
};

namespace {

class ShellMalloc : public IMalloc {
 public:
  void Free(void* block) override { delete static_cast<ITEMIDLIST*>(block); }
  unsigned long Release() override { return 1; }
};

// Copies `text` into a buffer of MAX_PATH characters; false if it does not
// fit, leaving the buffer empty.
bool CopyToPathBuffer(const std::string& text, char* buffer) {
  if (text.size() >= MAX_PATH) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

HRESULT SHGetMalloc(IMalloc** allocator) {
  static ShellMalloc shell_malloc;
  *allocator = &shell_malloc;
  return S_OK;
}

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
  WindowSystem* system = CurrentWindowSystem();
  if (!system) return nullptr;
  std::string path;
  if (!system->ChooseFolder(info->hwndOwner,
                            info->lpszTitle ? info->lpszTitle : "", &path)) {
    return nullptr;
  }
  return new ITEMIDLIST{path};
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST item, char* path) {
  if (!item) {
    path[0] = '\0';
    return FALSE;
  }
  return CopyToPathBuffer(item->path, path) ? TRUE : FALSE;
}
