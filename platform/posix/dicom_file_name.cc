#include "platform/system/dicom_file_name.h"

OFFilename DicomFileName(const std::string& path) {
  return OFFilename(path.c_str());
}
