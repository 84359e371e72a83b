// Whether two files hold the same dataset but for the patient name: what
// an anonymized copy and its original have in common, and an original
// put back and its copy. Values are compared a piece at a time, as DCMTK
// encodes them, so memory stays flat whatever their size.
#ifndef VEILMARK_DICOM_SAME_DATASET_H_
#define VEILMARK_DICOM_SAME_DATASET_H_

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"

// True when the datasets of `a` and `b`, both loaded from files, were read
// in the same transfer syntax and encode alike once their patient names are
// taken out. Takes the patient names out of both. DCMTK recurses once per
// level of nested sequences: call it on a large stack.
bool SameButPatientName(DcmFileFormat* a, DcmFileFormat* b);

#endif  // VEILMARK_DICOM_SAME_DATASET_H_
