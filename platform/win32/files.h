// Handles, identities and security descriptors, for the platform's Windows
// code.
#ifndef VEILMARK_PLATFORM_WIN32_FILES_H_
#define VEILMARK_PLATFORM_WIN32_FILES_H_

#include <string>

#include "platform/system/file_access.h"
#include "platform/win32/windows_api.h"

namespace win32 {

// A file, as long as it exists: its volume and its index on the volume.
struct FileId {
  DWORD volume = 0;
  ULONGLONG index = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && index == other.index;
  }
};
FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info);

// Opens the entry at `path` (in the wide form) for its attributes alone:
// never through a link, and never refused for how others hold it open.
// kInvalidHandle on failure.
HANDLE OpenAttributes(const std::wstring& path);

// Whether `info` describes a plain file: not a folder, a link or any other
// reparse point, nor a device.
bool IsPlainFile(const BY_HANDLE_FILE_INFORMATION& info);

// The handle of an original that this process holds (SourceFile) as file
// `id`, closed, so that the file can be deleted; false when none is held.
bool LetGoOfOriginal(const FileId& id);

// Security for a new file: a protected DACL that lets its creator alone in.
// Null when it cannot be made, and then no file must be created.
SECURITY_ATTRIBUTES* OwnerOnly();

// The access of the open file `file` (opened with READ_CONTROL).
FileAccess ReadAccess(HANDLE file);

// Gives `file`, which this process created and holds open with WRITE_DAC,
// WRITE_OWNER and FILE_WRITE_ATTRIBUTES, `access`: its DACL, protected or
// open to inheritance as the original's was, its owner and group where the
// process may set them, and its read-only attribute. What is refused is
// skipped; the file then stays its creator's alone.
void GiveAccess(HANDLE file, const FileAccess& access);

}  // namespace win32

#endif  // VEILMARK_PLATFORM_WIN32_FILES_H_
