// What the platform's Windows code shares, declared without <windows.h>:
// the stand-ins named like Win32 functions (DeleteFileA, FindFirstFileA,
// GetLastError) are built on these, in files that never see the system's
// declarations of those names.
#ifndef VEILMARK_PLATFORM_WIN32_SYSTEM_H_
#define VEILMARK_PLATFORM_WIN32_SYSTEM_H_

#include <string>
#include <vector>

#include "platform/system/durable_file.h"
#include "platform/system/folder_names.h"

namespace win32 {

// UTF-8 and the UTF-16 of the wide API. A lone surrogate, which a Windows
// name may hold, is carried as its three-byte form both ways, so that every
// name read from the system can be given back to it. False for bytes that
// are not such text.
bool Utf8ToWide(const std::string& utf8, std::wstring* wide);
std::string WideToUtf8(const std::wstring& wide);

// `path` (UTF-8, either slash) as the wide API takes it: absolute, with
// backslashes only, "." and ".." resolved, under the "\\?\" prefix, so that
// no length limit applies and no name (CON, a trailing dot) is special.
// Empty when `path` is not UTF-8.
std::wstring WidePath(const std::string& path);

// The reason for Win32 error `code`, as a log line gives it; errno is set to
// its nearest counterpart.
std::string ErrorText(unsigned long code);
// The same for the calling thread's last error.
std::string LastErrorText();

// ReadFolderNames (platform/system/folder_names.h) through the wide API.
FolderRead ListFolder(const std::string& folder,
                      std::vector<std::string>* names);

// Whether the entry at `path` is a file that may be deleted: not a folder,
// not read-only.
bool DeletableEntry(const std::string& path);
// Deletes it, if so. A file this process holds open as an original
// (SourceFile) is let go first.
bool DeleteEntry(const std::string& path);
// Moves it to `to`, if so, never replacing a file; an original held is let
// go first, and that very file moved.
PublishResult MoveEntry(const std::string& path, const std::string& to);

}  // namespace win32

#endif  // VEILMARK_PLATFORM_WIN32_SYSTEM_H_
