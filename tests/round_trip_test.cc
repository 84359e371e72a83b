// Every encoding the toolkit reads comes out in the same encoding with the
// same elements: only the patient name differs.
#include <gtest/gtest.h>

#include "anonymize/verified_save.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "tests/run_folder.h"
#include "tests/test_folder.h"

namespace {

struct Case {
  const char* label;
  Fixture fixture;
};

Fixture With(E_TransferSyntax xfer, size_t pixelBytes, int frames = 1) {
  Fixture fixture;
  fixture.xfer = xfer;
  fixture.pixelBytes = pixelBytes;
  fixture.frames = frames;
  return fixture;
}

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"implicit", With(EXS_LittleEndianImplicit, 4000)},
      {"explicit", With(EXS_LittleEndianExplicit, 64 * 1024)},
      {"big_endian", With(EXS_BigEndianExplicit, 64 * 1024)},
      {"deflated", With(EXS_DeflatedLittleEndianExplicit, 64 * 1024)},
      {"encapsulated", With(EXS_JPEGProcess1, 3 * 20000, 3)},
      {"no_meta_header", With(EXS_LittleEndianImplicit, 10000)},
      {"large_private_and_sequences", With(EXS_LittleEndianExplicit, 0)},
      // Too large to be read whole: streamed from the original.
      {"streamed", With(EXS_LittleEndianExplicit, kWholeFileBytes)},
      {"streamed_big_endian", With(EXS_BigEndianExplicit, kWholeFileBytes)},
      {"streamed_encapsulated", With(EXS_JPEGProcess1, kWholeFileBytes, 2)},
  };
  cases[5].fixture.metaHeader = false;
  cases[6].fixture.privateBytes = 9000;
  cases[6].fixture.sequence = true;
  return cases;
}

TEST(RoundTrip, EveryEncodingKeepsEveryElementButThePatientName) {
  ScratchFolder folder;
  std::vector<Case> cases = Cases();
  std::vector<std::string> before;
  for (size_t i = 0; i < cases.size(); ++i) {
    cases[i].fixture.patientName = "DOE^JOHN";
    cases[i].fixture.studyDate = "2007080" + std::to_string(i);
    folder.Write(std::string(cases[i].label) + ".ima", cases[i].fixture);
    before.push_back(DatasetWithoutPatientName(
        folder / (std::string(cases[i].label) + ".ima")));
    ASSERT_NE(before.back().substr(0, 1), "<") << cases[i].label;
  }
  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("Done. 10 file(s) modified."), std::string::npos) << log;

  for (size_t i = 0; i < cases.size(); ++i) {
    std::string name = "ANONDN2007080" + std::to_string(i);
    std::string path = folder / (name + ".ima");
    EXPECT_EQ(StoredPatientName(path), name) << cases[i].label;
    EXPECT_EQ(DatasetWithoutPatientName(path), before[i]) << cases[i].label;
    EXPECT_FALSE(Exists(folder / (std::string(cases[i].label) + ".ima")));
  }
}

TEST(RoundTrip, ValuesAreReadAsTheToolkitGivesThem) {
  ScratchFolder folder;
  Fixture f;
  f.patientName = "  DOE^JOHN  ";  // leading blanks kept, trailing dropped
  f.studyDate = "        ";        // blanks only: an empty value
  folder.Write("a.ima", f);
  f.patientName = "X";
  f.studyDate = "20070801";
  folder.Write("b.ima", f);
  f.patientName = "M\xFCLLER^J\xD6RG";  // bytes, not characters
  folder.Write("c.ima", f);
  EXPECT_EQ(RunFolder(folder.path()),
            "Anonymizing file: a.ima\r\nAnonymizing file: b.ima\r\n"
            "Anonymizing file: c.ima\r\nDone. 3 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{
                                "ANON N.ima", "ANONMG20070801.ima",
                                "ANONXX20070801.ima", "anonymous_record.csv"}));
  auto rows = ReadRecord(folder / "anonymous_record.csv");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][2], "  DOE^JOHN");
  EXPECT_EQ(rows[3][2], "M\xFCLLER^J\xD6RG");
}

}  // namespace
