// The DICOM Basic Application Level Confidentiality Profile applied to one
// dataset, at every depth: each attribute of the table removed (X), made
// empty (Z), given a dummy value (D) or a new UID (U), as the options of
// the folder's key leave it or keep it (K); dates moved back by the
// patient's offset with Retain Modified Dates; private attributes removed;
// the patient's name and ID the pseudonym. Where the table lets the
// program choose (X/Z, X/D, X/Z/D, Z/D), the attribute stays, so that no
// type 1 or type 2 attribute goes missing: empty when the original was
// empty or Z may stand (X/Z), else with a dummy value. A sequence given a
// dummy value keeps its items, the profile applied to them and their free
// text (ST, LT, UT, UC) a dummy too, so that its structure, codes, numbers
// and references stay; image references (X/Z/U*) keep their items, their
// UIDs replaced. Then the attributes a
// de-identified dataset carries are added, and a new file meta header and
// a preamble of zeros replace the original's.
#ifndef VEILMARK_PROFILE_DEIDENTIFY_H_
#define VEILMARK_PROFILE_DEIDENTIFY_H_

#include <memory>
#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "profile/folder_key.h"

struct Deidentified {
  // What an undo needs of the original: its dataset, but for values above
  // the read limit that the copy holds unchanged at its top level.
  std::unique_ptr<DcmDataset> original;
  // The file may show text in its pixels, which no profile run removes:
  // its Burned In Annotation says so, or, left unsaid, it is of a kind
  // that often does (secondary capture, ultrasound, visible light).
  bool mayShowText = false;
};

// De-identifies `file` with `key`'s options for the patient known by
// `patientId` and `patientName` (as text).
Deidentified Deidentify(const FolderKey& key, const std::string& patientId,
                        const std::string& patientName, DcmFileFormat* file);

// Replaces the file meta header and preamble of `file` by new ones: the
// SOP class and instance of its dataset, the rest as the toolkit writes.
void FreshMetaHeader(DcmFileFormat* file);

// The original dataset of a copy: `original` (as Deidentify left it) with
// the values the copy held for it, taken from `copy`.
void Reassemble(DcmDataset* copy, DcmDataset* original);

// Whether `dataset` says it was de-identified with the profile.
bool IsProfileCopy(DcmDataset* dataset);

// Whether `copy` is `original` de-identified with `key`, its patient's
// name and ID read as text. Changes `original`.
bool IsDeidentified(const FolderKey& key, DcmFileFormat* original,
                    DcmFileFormat* copy);

#endif  // VEILMARK_PROFILE_DEIDENTIFY_H_
