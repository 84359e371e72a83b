// A dataset's text elements read as characters of the character set it
// declares, and text written back in it.
#ifndef VEILMARK_TEXT_DATASET_TEXT_H_
#define VEILMARK_TEXT_DATASET_TEXT_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"
#include "text/character_set.h"

class DatasetText {
 public:
  // Reads the Specific Character Set (0008,0005) of `dataset`.
  explicit DatasetText(DcmItem* dataset);

  enum Read { kRead, kAbsent, kNotText };
  // The first value of the top-level element `key` (see ReadStoredValue),
  // trailing blanks removed: as stored in `bytes` and decoded in `utf8`.
  // kAbsent: no element, or one of length 0; kNotText: it does not decode.
  Read FirstValue(const DcmTagKey& key, std::string* bytes,
                  std::string* utf8) const;

  // `utf8` in the dataset's character set (CharacterSet::Encode).
  bool Encode(const std::string& utf8, std::string* bytes,
              bool declaredOnly = false) const;

  // The declaration, for messages: its terms, or "none".
  std::string Declared() const;

 private:
  DcmItem* dataset_;
  CharacterSet charset_;
  bool known_ = false;  // a declaration this program can read
  std::string unknown_;
};

// Whether `recorded`, a patient name as a record line gives it, is text
// (UTF-8, as this program records names) rather than the bytes of the
// name as stored, which earlier versions recorded: those are not valid
// UTF-8, or hold an escape sequence, which no decoded name does.
bool RecordedAsText(const std::string& recorded);

// Whether `recorded`, a patient name as a record line gives it, is the
// name stored as `bytes`, which decodes to `utf8` (empty when it does not
// decode): as text, whatever empty components end it, or as the bytes up
// to a zero byte.
bool IsRecordedName(const std::string& recorded, const std::string& bytes,
                    const std::string& utf8);

// Whether the patient name of `dataset` is `recorded` (IsRecordedName).
bool HoldsRecordedName(DcmItem* dataset, const std::string& recorded);

#endif  // VEILMARK_TEXT_DATASET_TEXT_H_
