// The toolkit's part of one file's anonymization: load, read the two
// elements, put the anonymous patient name in place and save a verified
// copy under the new name.
#ifndef VEILMARK_ANONYMIZE_ANONYMIZED_COPY_H_
#define VEILMARK_ANONYMIZE_ANONYMIZED_COPY_H_

#include <string>

#include "anonymize/name_numbers.h"
#include "platform/cstring.h"

struct AnonymizedCopy {
  CString patientName;
  CString anonymousName;
  CString newName;  // in the folder
  CString error;    // the error line's message when there is no copy
};

// Makes the anonymized copy of the original at `fullPath`, named
// `fileName` and read through `readPath`, in `folder`. False with
// `copy->error` set when the file gets none. The toolkit recurses once per
// nesting level of the file's sequences: call it on a stack deep enough.
bool MakeAnonymizedCopy(const std::string& readPath, const CString& fullPath,
                        const CString& fileName, const CString& folder,
                        NameNumbers* names, AnonymizedCopy* copy);

#endif  // VEILMARK_ANONYMIZE_ANONYMIZED_COPY_H_
