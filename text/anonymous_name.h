// The anonymous patient name and the file names made from it.
#ifndef VEILMARK_TEXT_ANONYMOUS_NAME_H_
#define VEILMARK_TEXT_ANONYMOUS_NAME_H_

#include <string>

#include "platform/framework/cstring.h"

// "ANON", the first and the last character of `patientName` (each a base
// with its combining marks), then `studyDate`, all UTF-8. `patientName`
// must not be empty.
CString MakeAnonymousName(const std::string& patientName,
                          const std::string& studyDate);

// False when `name`, UTF-8, holds a character that a file name cannot hold
// on Linux or Windows, or that would lead out of the folder: '/', '\',
// ':', '*', '?', '"', '<', '>', '|', control characters (C0, DEL and C1).
bool UsableAsFileName(const CString& name);

// False when `name` holds a byte that would lead out of the folder, or no
// name may hold: '/', '\', NUL, other control bytes, DEL.
bool StaysInFolder(const CString& name);

// The part of `fileName` from its first '.' on, or false when it has none.
bool FileExtension(const CString& fileName, CString* extension);

// The `number`th choice of a new file name: `anonymousName` + `extension`
// first, then with "_2", "_3", ... before the extension.
CString NumberedFileName(const CString& anonymousName, const CString& extension,
                         int number);

// True when `name` is one of the names NumberedFileName gives for
// `anonymousName` and `extension`.
bool IsNumberedName(const CString& name, const CString& anonymousName,
                    const CString& extension);

#endif  // VEILMARK_TEXT_ANONYMOUS_NAME_H_
