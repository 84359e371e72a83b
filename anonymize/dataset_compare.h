// Compares a dataset that was saved with the same dataset read back from
// disk.
#ifndef VEILMARK_ANONYMIZE_DATASET_COMPARE_H_
#define VEILMARK_ANONYMIZE_DATASET_COMPARE_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"

// True when both hold the same elements at every level (group length
// elements aside), each with the same value length. Value lengths are
// compared without reading large values into memory. Otherwise false, with
// the first difference in `why`.
bool SameElements(DcmItem* saved, DcmItem* reread, std::string* why);

#endif  // VEILMARK_ANONYMIZE_DATASET_COMPARE_H_
