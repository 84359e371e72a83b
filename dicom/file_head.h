// A DICOM file read only as far as its patient name: enough to tell which
// image it holds and whose name it carries, at a fraction of the cost of
// reading it whole.
#ifndef VEILMARK_DICOM_FILE_HEAD_H_
#define VEILMARK_DICOM_FILE_HEAD_H_

#include <string>

struct FileHead {
  std::string instanceUid;  // SOP Instance UID (0008,0018), as stored
  std::string nameBytes;    // the first value of the patient name, as stored
  std::string name;         // the same in UTF-8, or empty when not text
};

// Reads the regular file at `path` (never through a link) up to its
// patient name. False when it is no such file or does not read so far as
// DICOM. Call it on a large stack.
bool ReadHead(const std::string& path, FileHead* head);

#endif  // VEILMARK_DICOM_FILE_HEAD_H_
