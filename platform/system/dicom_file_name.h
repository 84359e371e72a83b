// The name by which DCMTK opens a file, from its path in UTF-8.
#ifndef VEILMARK_PLATFORM_SYSTEM_DICOM_FILE_NAME_H_
#define VEILMARK_PLATFORM_SYSTEM_DICOM_FILE_NAME_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/ofstd/offile.h"

// Here the path's bytes as they are; on Windows its wide form, so that DCMTK
// opens names in any script and of any length.
OFFilename DicomFileName(const std::string& path);

#endif  // VEILMARK_PLATFORM_SYSTEM_DICOM_FILE_NAME_H_
