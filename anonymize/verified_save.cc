#include "anonymize/verified_save.h"

#include "anonymize/anonymous_name.h"
#include "anonymize/dataset_shape.h"
#include "platform/durable_file.h"

namespace {

// A folder's worth of one patient's series fits many times over; past this
// the name is taken to be unclaimable rather than tried forever.
constexpr int kMaxNameTries = 100000;

bool SaveTo(DcmFileFormat* file, E_TransferSyntax xfer,
            const std::string& path) {
  // Values above the read limit are copied from the old file during the
  // save; one that cannot be read then is written, and left in memory, as
  // empty, while the save still succeeds. Only the copy on disk, held
  // against the dataset as it was before the save, tells.
  DatasetShape before = ShapeOf(file->getDataset());
  OFCondition saved =
      file->saveFile(path.c_str(), xfer, EET_UndefinedLength, EGL_recalcGL,
                     EPD_noChange, 0, 0, EWM_fileformat);
  if (saved.bad()) return false;
  DcmFileFormat reread;
  OFCondition loaded = reread.loadFile(path.c_str(), EXS_Unknown, EGL_noChange,
                                       4096, ERM_fileOnly);
  return loaded.good() && ShapeOf(reread.getDataset()) == before;
}

// Gives the file at `temp` the first free numbered name.
bool Publish(const std::string& temp, const CString& folder,
             const CString& anonymousName, const CString& extension,
             NameNumbers* names, CString* newName) {
  std::string key = anonymousName.str() + '\0' + extension.str();
  std::string error;
  for (int tries = 0; tries < kMaxNameTries; ++tries) {
    int number = names->FirstUnknown(key);
    *newName = NumberedFileName(anonymousName, extension, number);
    std::string path = folder.str() + "/" + newName->str();
    switch (PublishNoReplace(temp, path, &error)) {
      case PublishResult::kDone:
        names->Taken(key, number, newName->str());
        return true;
      case PublishResult::kNameTaken:
        names->Taken(key, number, newName->str());
        continue;
      case PublishResult::kFailed:
        return false;
    }
  }
  return false;
}

}  // namespace

bool SaveVerifiedCopy(DcmFileFormat* file, E_TransferSyntax xfer,
                      const CString& folder, const CString& anonymousName,
                      const CString& extension, NameNumbers* names,
                      CString* newName) {
  *newName = NumberedFileName(anonymousName, extension, 1);
  std::string temp, error;
  if (!CreateTempFile(folder.str(), &temp, &error)) return false;
  CString meant = *newName;
  if (!SaveTo(file, xfer, temp) || !SyncFile(temp, &error) ||
      !Publish(temp, folder, anonymousName, extension, names, newName)) {
    RemoveFile(temp);
    *newName = meant;
    return false;
  }
  if (!SyncFolder(folder.str(), &error)) {
    // Published but not known to be on disk: take it back.
    RemoveFile(folder.str() + "/" + newName->str());
    names->Gone(newName->str());
    *newName = meant;
    return false;
  }
  return true;
}
