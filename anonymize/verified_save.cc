#include "anonymize/verified_save.h"

#include "anonymize/dataset_shape.h"
#include "platform/durable_file.h"

bool SaveVerifiedCopy(DcmFileFormat* file, E_TransferSyntax xfer,
                      const std::string& folder, std::string* tempPath) {
  std::string error;
  if (!CreateTempFile(folder, tempPath, &error)) return false;
  // Values above the read limit are copied from the old file during the
  // save; one that cannot be read then is written, and left in memory, as
  // empty, while the save still succeeds. Only the copy on disk, held
  // against the dataset as it was before the save, tells.
  DatasetShape before = ShapeOf(file->getDataset());
  OFCondition saved =
      file->saveFile(tempPath->c_str(), xfer, EET_UndefinedLength, EGL_recalcGL,
                     EPD_noChange, 0, 0, EWM_fileformat);
  bool verified = false;
  if (saved.good()) {
    DcmFileFormat reread;
    OFCondition loaded = reread.loadFile(tempPath->c_str(), EXS_Unknown,
                                         EGL_noChange, 4096, ERM_fileOnly);
    verified = loaded.good() && ShapeOf(reread.getDataset()) == before;
  }
  if (!verified) RemoveFile(*tempPath);
  return verified;
}
