#include "platform/system/dicom_file_name.h"

#include "platform/win32/system.h"

#if !defined(WIDE_CHAR_FILE_IO_FUNCTIONS)
#error \
    "DCMTK must be built with wide file names (DCMTK_WIDE_CHAR_FILE_IO_FUNCTIONS)"
#endif

// DCMTK opens a wide name with the C runtime's wide calls (_wfopen), which
// take the "\\?\" form.
OFFilename DicomFileName(const std::string& path) {
  return OFFilename(win32::WidePath(path).c_str(), OFTrue);
}
