// The key of one copy made with the profile: the original dataset as
// Deidentify leaves it (all of it but values the copy holds unchanged), a
// DICOM file in the folder's keys named after the copy, "NAME.key",
// open to its owner alone. It is written and checked before the copy is
// recorded, takes its name just before the copy takes its own, and is
// forced to the disk with it; an undo deletes it once the record no
// longer names the copy.
#ifndef VEILMARK_PROFILE_COPY_KEY_H_
#define VEILMARK_PROFILE_COPY_KEY_H_

#include <memory>
#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/system/source_file.h"
#include "profile/folder_key.h"

// Writes `original` (taking it), read from `source` in transfer syntax
// `xfer`, to a new temporary file in `folder`'s keys; its path in
// `tempPath`.
bool WriteCopyKey(const std::string& folder, const SourceFile& source,
                  std::unique_ptr<DcmDataset> original, E_TransferSyntax xfer,
                  std::string* tempPath);

// Where the key of the copy named `copyName` is.
std::string CopyKeyPath(const std::string& folder, const std::string& copyName);

// The original dataset of `copy`, the file `copyName` of `folder`, from
// its key: the key's dataset with the values the copy holds for it, which,
// de-identified with `key`, is the copy's. Into `original`; `path` gets
// the key's path.
bool RestoreFromKey(const std::string& folder, const FolderKey& key,
                    const std::string& copyName, DcmFileFormat* copy,
                    DcmFileFormat* original, std::string* path);

#endif  // VEILMARK_PROFILE_COPY_KEY_H_
