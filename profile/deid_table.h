// The DICOM Basic Application Level Confidentiality Profile's attributes
// (PS3.15 Annex E, Table E.1-1), as data: for each attribute, or pattern of
// attributes, the Basic Profile's action and each option's. The table is
// table-e1-1.csv itself, built in; a newer edition of it is a new file.
#ifndef VEILMARK_PROFILE_DEID_TABLE_H_
#define VEILMARK_PROFILE_DEID_TABLE_H_

#include <cstddef>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctagkey.h"

// The options of the table's columns, in their order.
enum class DeidOption {
  kRetainSafePrivate,
  kRetainUids,
  kRetainDeviceIdentity,
  kRetainInstitutionIdentity,
  kRetainPatientCharacteristics,
  kRetainFullDates,
  kRetainModifiedDates,
  kCleanDescriptors,
  kCleanStructuredContent,
  kCleanGraphics,
};
constexpr int kDeidOptions = 10;

struct DeidRow {
  const char* tag;    // as the table writes it: "(0008,0050)", "(50xx,xxxx)"
  const char* basic;  // "X", "Z", "D", "U", "X/Z", ... "X/Z/U*"
  const char* options[kDeidOptions];  // "K", "C" or empty: the Basic action
};

size_t DeidRowCount();
const DeidRow& DeidRowAt(size_t index);

// The row that holds for `key`: its own, or that of the pattern it falls
// under, a private attribute's (an odd group) included; null for an
// attribute the table does not list.
const DeidRow* FindDeidRow(const DcmTagKey& key);

#endif  // VEILMARK_PROFILE_DEID_TABLE_H_
