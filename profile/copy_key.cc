#include "profile/copy_key.h"

#include "dicom/verified_save.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "profile/deidentify.h"

bool WriteCopyKey(const std::string& folder, const SourceFile& source,
                  std::unique_ptr<DcmDataset> original, E_TransferSyntax xfer,
                  std::string* tempPath) {
  DcmFileFormat file(original.release(), OFFalse);
  return SaveVerifiedFile(source, &file, xfer, EWM_createNewMeta,
                          KeysFolder(folder), FileAccess(), tempPath);
}

std::string CopyKeyPath(const std::string& folder,
                        const std::string& copyName) {
  return KeysFolder(folder) + kPathSeparator + copyName + ".key";
}

bool RestoreFromKey(const std::string& folder, const FolderKey& key,
                    const std::string& copyName, DcmFileFormat* copy,
                    DcmFileFormat* original, std::string* path) {
  *path = CopyKeyPath(folder, copyName);
  SourceFile source;
  std::string whole, reason;
  if (!OpenAndLoad(*path, &source, &whole, original, &reason)) return false;
  // Loaded whole: nothing of it is read from the file later.
  original->loadAllDataIntoMemory();
  source.ForgetBytes();
  Reassemble(copy->getDataset(), original->getDataset());
  DcmFileFormat check(*original);
  return IsDeidentified(key, &check, copy);
}
