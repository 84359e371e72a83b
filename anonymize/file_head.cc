#include "anonymize/file_head.h"

#include "anonymize/dataset_text.h"
#include "anonymize/element_value.h"
#include "anonymize/nesting_bound.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/source_file.h"

bool ReadHead(const std::string& path, FileHead* head) {
  SourceFile source;
  std::string reason;
  DcmFileFormat file;
  if (source.Open(path, &reason) != SourceFile::kOpened ||
      CheckNesting(source, kMaxNestingLevels, &reason) != Nesting::kWithin ||
      file.loadFileUntilTag(source.ReadPath().c_str(), EXS_Unknown,
                            EGL_noChange, 4096, ERM_autoDetect,
                            DcmTagKey(0x0010, 0x0011))
          .bad()) {
    return false;
  }
  DcmDataset* dataset = file.getDataset();
  *head = FileHead();
  ReadStoredValue(dataset, DCM_SOPInstanceUID, &head->instanceUid);
  return DatasetText(dataset).FirstValue(DCM_PatientName, &head->nameBytes,
                                         &head->name) != DatasetText::kAbsent;
}
