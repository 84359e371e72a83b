// Test fixtures: DICOM files written with the toolkit, with chosen bytes
// for the patient name and the study date and a choice of encodings.
#ifndef VEILMARK_TESTS_FIXTURE_H_
#define VEILMARK_TESTS_FIXTURE_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcxfer.h"

enum class Presence { kValue, kEmpty, kAbsent };

struct Fixture {
  // Written byte for byte; kEmpty writes the element with length 0.
  std::string patientName = "DOE^JOHN";
  Presence patientNamePresence = Presence::kValue;
  std::string studyDate = "20070801";
  Presence studyDatePresence = Presence::kValue;

  E_TransferSyntax xfer = EXS_LittleEndianExplicit;
  bool metaHeader = true;
  // Native pixel data of this many bytes (0: none); with an encapsulated
  // transfer syntax, this many bytes split into `frames` fragments.
  size_t pixelBytes = 0;
  int frames = 1;
  // A private text element of this many bytes (0: none).
  size_t privateBytes = 0;
  // A sequence of two items, one holding a nested sequence.
  bool sequence = false;
  // Empty: a UID made from the other values and a counter.
  std::string sopInstanceUid;
};

// Writes `fixture` to `path`; false with the toolkit's reason on failure.
bool WriteFixture(const std::string& path, const Fixture& fixture,
                  std::string* error);

// The dataset `fixture` describes, as it is written.
void BuildDataset(const Fixture& fixture, DcmDataset* dataset);

#endif  // VEILMARK_TESTS_FIXTURE_H_
