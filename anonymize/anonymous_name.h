// The anonymous patient name and the file names made from it.
#ifndef VEILMARK_ANONYMIZE_ANONYMOUS_NAME_H_
#define VEILMARK_ANONYMIZE_ANONYMOUS_NAME_H_

#include "platform/cstring.h"

// "ANON", the first and the last byte of `patientName`, then `studyDate`.
// `patientName` must not be empty.
CString MakeAnonymousName(const CString& patientName, const CString& studyDate);

// False when `name` holds a byte that no file name may hold or that would
// lead out of the folder: '/', '\', NUL, other control bytes, DEL.
bool UsableAsFileName(const CString& name);

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

#endif  // VEILMARK_ANONYMIZE_ANONYMOUS_NAME_H_
