#include "profile/copy_key.h"

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dicom/same_dataset.h"
#include "dicom/verified_save.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "profile/deidentify.h"

namespace {

// The names a key of the copy with `uid` may have, the first first.
std::string KeyPath(const std::string& folder, const std::string& uid,
                    int number) {
  return KeysFolder(folder) + kPathSeparator + uid +
         (number > 1 ? "_" + std::to_string(number) : "") + ".key";
}

constexpr int kMaxKeysOfOneUid = 1000;

}  // namespace

bool WriteCopyKey(const std::string& folder, const SourceFile& source,
                  std::unique_ptr<DcmDataset> original, E_TransferSyntax xfer,
                  const std::string& copyUid, std::string* path) {
  DcmFileFormat file(original.release(), OFFalse);
  std::string temp;
  if (!SaveVerifiedFile(source, &file, xfer, EWM_createNewMeta,
                        KeysFolder(folder), FileAccess(), &temp)) {
    return false;
  }
  for (int number = 1; number <= kMaxKeysOfOneUid; ++number) {
    *path = KeyPath(folder, copyUid, number);
    switch (PublishNoReplace(temp, *path)) {
      case PublishResult::kDone:
        return true;
      case PublishResult::kNameTaken:
        continue;
      case PublishResult::kFailed:
        break;
    }
    break;
  }
  RemoveFile(temp);
  return false;
}

bool RestoreFromKey(const std::string& folder, const FolderKey& key,
                    DcmFileFormat* copy, DcmFileFormat* original,
                    std::string* path) {
  OFString uid;
  copy->getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
  for (int number = 1; number <= kMaxKeysOfOneUid; ++number) {
    *path = KeyPath(folder, uid.c_str(), number);
    if (!IsRegularFile(*path)) return false;
    SourceFile source;
    std::string whole, reason;
    DcmFileFormat candidate;
    if (!OpenAndLoad(*path, &source, &whole, &candidate, &reason)) continue;
    // Loaded whole: nothing of it is read from the file later.
    candidate.loadAllDataIntoMemory();
    source.ForgetBytes();
    Reassemble(copy->getDataset(), candidate.getDataset());
    DcmFileFormat check(candidate);
    if (IsDeidentified(key, &check, copy)) {
      *original = candidate;
      return true;
    }
  }
  return false;
}
