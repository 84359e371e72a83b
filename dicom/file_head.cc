#include "dicom/file_head.h"

#include <algorithm>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dicom/memory_stream.h"
#include "dicom/nesting_bound.h"
#include "dicom/toolkit_messages.h"
#include "platform/system/dicom_file_name.h"
#include "platform/system/source_file.h"
#include "text/dataset_text.h"
#include "text/element_value.h"

namespace {

// Most files have their patient name in their first few KiB: those are
// read and parsed in memory, the rest of the file never.
constexpr size_t kHeadBytes = 64 * 1024;
constexpr char kDeflatedUid[] = "1.2.840.10008.1.2.1.99";

// The head's bytes can nest no deeper than their item tags, eight bytes
// each, allow: far less than DCMTK is trusted with. Deflated bytes can
// inflate to any depth, and are read as the rest of a file is.
bool ParseHead(const SourceFile& source, DcmFileFormat* file) {
  thread_local std::string head;
  head.resize(std::min<unsigned long long>(source.Size(), kHeadBytes));
  const long got = source.ReadAt(0, &head[0], head.size());
  if (got != static_cast<long>(head.size()) ||
      head.find(kDeflatedUid) != std::string::npos) {
    return false;
  }
  MemoryInputStream stream(head.data(), head.size());
  file->setReadMode(ERM_autoDetect);
  file->transferInit();
  const OFCondition read = file->readUntilTag(stream, EXS_Unknown, EGL_noChange,
                                              4096, DcmTagKey(0x0010, 0x0011));
  file->transferEnd();
  return read.good();
}

}  // namespace

bool ReadHead(const std::string& path, FileHead* head) {
  // DCMTK says that it stopped where it was asked to: nothing to tell.
  ToolkitMessages quiet;
  SourceFile source;
  std::string reason;
  DcmFileFormat file;
  if (source.Open(path, &reason, false) != SourceFile::kOpened) return false;
  // A name further on than the head: DCMTK reads the file as far as it.
  if (!ParseHead(source, &file) &&
      (file.clear(),
       CheckNesting(source, kMaxNestingLevels, &reason) != Nesting::kWithin ||
           file.loadFileUntilTag(DicomFileName(source.ReadPath()), EXS_Unknown,
                                 EGL_noChange, 4096, ERM_autoDetect,
                                 DcmTagKey(0x0010, 0x0011))
               .bad())) {
    return false;
  }
  DcmDataset* dataset = file.getDataset();
  *head = FileHead();
  ReadStoredValue(dataset, DCM_SOPInstanceUID, &head->instanceUid);
  return DatasetText(dataset).FirstValue(DCM_PatientName, &head->nameBytes,
                                         &head->name) != DatasetText::kAbsent;
}
