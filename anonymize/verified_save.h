// Saving an anonymized dataset under a new name so that the result is
// complete, checked and on disk before anyone relies on it.
#ifndef VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_
#define VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_

#include <string>

#include "anonymize/name_numbers.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/cstring.h"

// Saves `file` in transfer syntax `xfer` to a temporary file in `folder`,
// reads it back and compares it with the dataset, forces it to the disk and
// gives it the first free name of NumberedFileName(anonymousName, extension,
// n) for n = 1, 2, ..., never replacing a file; `names` knows which are
// taken. Returns the name it got in `newName`. On failure nothing is left
// behind and `newName` holds the name that was meant.
bool SaveVerifiedCopy(DcmFileFormat* file, E_TransferSyntax xfer,
                      const CString& folder, const CString& anonymousName,
                      const CString& extension, NameNumbers* names,
                      CString* newName);

#endif  // VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_
