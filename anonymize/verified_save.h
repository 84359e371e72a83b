// Saving an anonymized dataset so that the result is complete and checked
// before anyone relies on it.
#ifndef VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_
#define VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"

// Saves `file` in transfer syntax `xfer` to a new temporary file in
// `folder`, reads it back and compares it with the dataset as it was before
// the save. Returns the file's path in `tempPath`; on failure nothing is
// left behind.
bool SaveVerifiedCopy(DcmFileFormat* file, E_TransferSyntax xfer,
                      const std::string& folder, std::string* tempPath);

#endif  // VEILMARK_ANONYMIZE_VERIFIED_SAVE_H_
