// The key of one copy made with the profile: the original dataset as
// Deidentify leaves it (all of it but values the copy holds unchanged), a
// DICOM file in the folder's keys named after the copy's SOP Instance
// UID, "UID.key" ("UID_2.key" when a copy of the same UID has one
// already), open to its owner alone. It is written and checked, and put
// under its name, before the copy is recorded, and forced to the disk
// with the copy; an undo deletes it once the record no longer names the
// copy.
#ifndef VEILMARK_PROFILE_COPY_KEY_H_
#define VEILMARK_PROFILE_COPY_KEY_H_

#include <memory>
#include <string>
#include <vector>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/system/source_file.h"
#include "profile/folder_key.h"

// Writes `original` (taking it), read from `source` in transfer syntax
// `xfer`, as the key of the copy whose SOP Instance UID is `copyUid`, in
// `folder`'s keys; its path in `path`.
bool WriteCopyKey(const std::string& folder, const SourceFile& source,
                  std::unique_ptr<DcmDataset> original, E_TransferSyntax xfer,
                  const std::string& copyUid, std::string* path);

// The original dataset of `copy`, loaded from a file of `folder` with SOP
// Instance UID `copyUid`: the key whose dataset, its values taken from
// the copy and de-identified with `key`, is the copy's. Into `original`;
// `path` gets the key's path.
bool RestoreFromKey(const std::string& folder, const FolderKey& key,
                    DcmFileFormat* copy, DcmFileFormat* original,
                    std::string* path);

#endif  // VEILMARK_PROFILE_COPY_KEY_H_
