#include "platform/framework/delete_file.h"

#include "platform/win32/system.h"

// A file with the read-only attribute is left in place, as one without
// write permission bits is elsewhere.
bool DeletableFile(LPCSTR path) { return win32::DeletableEntry(path); }

BOOL DeleteFileA(LPCSTR path) {
  return win32::DeleteEntry(path) ? TRUE : FALSE;
}

PublishResult SetFileAside(LPCSTR path, LPCSTR to) {
  return win32::MoveEntry(path, to);
}
