// Runs with the DICOM Basic Profile over a dataset that holds every
// attribute of the standard's table, at the top level and inside a
// sequence: each gets its row's action, as the options leave it; and an
// undo gives every dataset back.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcsequen.h"
#include "platform/system/dicom_file_name.h"
#include "profile/deid_table.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

// A row of the table as table-e1-1.csv gives it.
struct Row {
  std::string tag, basic;
  std::vector<std::string> options;
};

std::vector<Row> TableRows() {
  std::ifstream csv(FsPath(VEILMARK_DEID_CSV));
  std::vector<Row> rows;
  std::string line;
  std::getline(csv, line);  // the header
  while (std::getline(csv, line)) {
    // "(gggg,eeee)",Name,retired,in IOD,basic,options...: names may be
    // quoted, and hold commas.
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        fields.emplace_back();
      } else if (c != '\r') {
        fields.back() += c;
      }
    }
    rows.push_back(
        {fields[0], fields[4],
         std::vector<std::string>(fields.begin() + 5, fields.end())});
  }
  return rows;
}

// A tag of the row: its own, or one that its pattern covers.
DcmTagKey TagOf(const Row& row) {
  std::string hex = row.tag.substr(1, 4) + row.tag.substr(6, 4);
  if (hex == "ggggeeee") return DcmTagKey(0x0009, 0x1010);
  if (hex.substr(4) == "xxxx") hex.replace(4, 4, "3000");
  for (char& c : hex) {
    if (c == 'x') c = '0';
  }
  const unsigned long value = std::stoul(hex, nullptr, 16);
  return DcmTagKey(static_cast<Uint16>(value >> 16),
                   static_cast<Uint16>(value & 0xFFFF));
}

// A value of `vr` that tells something: what the profile must take out.
std::string ValueOf(DcmEVR vr, int n) {
  const std::string name = DcmVR(vr).getVRName();
  if (name == "DA") return "20070801";
  if (name == "DT") return "20070801101010";
  if (name == "TM") return "101010";
  if (name == "AS") return "030Y";
  if (name == "AT") return "(0010,0010)";
  if (name == "UI") return "1.2.826.0.1." + std::to_string(n);
  if (name == "CS") return "CODE" + std::to_string(n);
  // Numbers, as text or binary; bytes.
  if (std::string(" DS IS US SS UL SL FL FD UV SV ").find(" " + name + " ") !=
      std::string::npos) {
    return "7";
  }
  if (std::string(" OB OW UN ox xs lt ").find(" " + name + " ") !=
      std::string::npos) {
    return "41\\42";
  }
  return "WHO" + std::to_string(n);
}

// Puts an attribute of every row into `item`, each of a value that tells
// something; sequences hold one item of one.
void PutEveryRow(const std::vector<Row>& rows, DcmItem* item) {
  int n = 0;
  for (const Row& row : rows) {
    const DcmTagKey key = TagOf(row);
    if (key.getGroup() == 0x0000) continue;  // a command's: never in a file
    DcmTag tag(key);
    if (tag.getEVR() == EVR_UNKNOWN || tag.getEVR() == EVR_UNKNOWN2B) {
      tag.setVR(DcmVR(EVR_UN));
    }
    if (key.getGroup() == 0x0009) {
      item->putAndInsertString(DcmTag(0x0009, 0x0010, EVR_LO), "MAKER");
      tag.setVR(DcmVR(EVR_LO));
    }
    if (tag.getEVR() == EVR_SQ) {
      DcmItem* inner = nullptr;
      item->findOrCreateSequenceItem(key, inner, -2);
      inner->putAndInsertString(DCM_CodeMeaning, "INSIDE");
      inner->putAndInsertString(DCM_TextValue, "WHO WAS INSIDE");
      continue;
    }
    DcmElement* element = DcmItem::newDicomElement(tag);
    element->putString(ValueOf(tag.getEVR(), ++n).c_str());
    item->insert(element, OFTrue);
  }
}

// The action that holds for `row` with the options of `options` on (by
// their columns): a date moved (C) or kept, when the option says so of a
// date or time, as the only cleaning the program does.
std::string ActionOf(const Row& row, const std::vector<int>& options) {
  const DcmEVR vr = DcmTag(TagOf(row)).getEVR();
  for (int option : options) {
    const std::string said = row.options[static_cast<size_t>(option)];
    if (said == "K") return "K";
    if (said == "C" &&
        option == static_cast<int>(DeidOption::kRetainModifiedDates)) {
      if (vr == EVR_TM) return "K";
      if (vr == EVR_DA || vr == EVR_DT) return "C";
    }
  }
  return row.basic;
}

}  // namespace

// The table built into the program is the standard's, row for row.
TEST(Profile, TheTableIsTheStandardsRowForRow) {
  const std::vector<Row> rows = TableRows();
  ASSERT_EQ(rows.size(), DeidRowCount());
  for (const Row& row : rows) {
    const DeidRow* found = FindDeidRow(TagOf(row));
    ASSERT_NE(found, nullptr) << row.tag;
    EXPECT_EQ(found->tag, row.tag);
    EXPECT_EQ(found->basic, row.basic) << row.tag;
    for (size_t i = 0; i < row.options.size(); ++i) {
      EXPECT_EQ(found->options[i], row.options[i]) << row.tag << " " << i;
    }
  }
}

// Every attribute of the table, at the top level and in a sequence the
// profile keeps, gets its row's action, with the Basic Profile alone and
// with each option; and the undo gives the dataset back.
TEST(Profile, EveryAttributeGetsItsRowsActionAndComesBack) {
  const std::vector<Row> rows = TableRows();
  const struct {
    const char* flag;
    std::vector<int> columns;
  } settings[] = {
      {nullptr, {}},
      {"--retain-uids", {static_cast<int>(DeidOption::kRetainUids)}},
      {"--retain-device-identity",
       {static_cast<int>(DeidOption::kRetainDeviceIdentity)}},
      {"--retain-institution-identity",
       {static_cast<int>(DeidOption::kRetainInstitutionIdentity)}},
      {"--retain-patient-characteristics",
       {static_cast<int>(DeidOption::kRetainPatientCharacteristics)}},
      {"--retain-full-dates", {static_cast<int>(DeidOption::kRetainFullDates)}},
      {"--retain-modified-dates",
       {static_cast<int>(DeidOption::kRetainModifiedDates)}},
  };
  // A sequence the table does not list: kept, the profile applied inside.
  const DcmTagKey holder(0x0028, 0x3010);  // VOI LUT Sequence
  ASSERT_EQ(FindDeidRow(holder), nullptr);
  for (const auto& setting : settings) {
    SCOPED_TRACE(setting.flag ? setting.flag : "basic");
    ScratchFolder folder;
    Fixture fixture = Patient("DOE^JOHN", "20070801");
    fixture.sopInstanceUid = "1.2.826.0.1.9999";
    folder.Write("IM1.ima", fixture);
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(DicomFileName(folder / "IM1.ima")).good());
    DcmDataset* dataset = file.getDataset();
    DcmItem* inside = nullptr;
    dataset->findOrCreateSequenceItem(holder, inside, -2);
    PutEveryRow(rows, dataset);
    PutEveryRow(rows, inside);
    // The patient as the profile knows them, whatever the rows put.
    dataset->putAndInsertString(DCM_PatientName, "DOE^JOHN");
    dataset->putAndInsertString(DCM_PatientID, "12345");
    ASSERT_TRUE(file.saveFile(DicomFileName(folder / "IM1.ima"),
                              EXS_LittleEndianExplicit)
                    .good());
    const auto before = Datasets(folder.path());

    std::vector<std::string> arguments = {"--profile", "basic"};
    if (setting.flag) arguments.push_back(setting.flag);
    arguments.push_back(folder.path());
    ASSERT_EQ(Finish(StartCli(arguments, "", folder.path() + ".log")), 0)
        << ReadBytes(folder.path() + ".log");
    RemoveEntry(folder.path() + ".log");
    const Rows record = ReadRecord(folder);
    ASSERT_EQ(record.size(), 1u);
    DcmFileFormat copy;
    ASSERT_TRUE(copy.loadFile(DicomFileName(folder / record[0][1])).good());
    DcmItem* copyInside = nullptr;
    ASSERT_TRUE(copy.getDataset()
                    ->findAndGetSequenceItem(holder, copyInside, 0)
                    .good());
    for (DcmItem* item :
         {static_cast<DcmItem*>(copy.getDataset()), copyInside}) {
      const bool top = item == copy.getDataset();
      for (const Row& row : rows) {
        const DcmTagKey key = TagOf(row);
        if (key.getGroup() == 0x0000) continue;
        if (top && (key == DCM_PatientName || key == DCM_PatientID)) continue;
        SCOPED_TRACE(row.tag + (top ? " at the top" : " inside"));
        DcmElement* element = nullptr;
        const bool present = item->findAndGetElement(key, element).good();
        // The value as text; of an element the toolkit does not know, its
        // bytes.
        OFString value;
        Uint8* bytes = nullptr;
        if (present && element->ident() == EVR_UN &&
            element->getUint8Array(bytes).good() && bytes) {
          value.assign(reinterpret_cast<const char*>(bytes),
                       element->getLength());
        } else if (present && element->ident() != EVR_SQ) {
          element->getOFStringArray(value);
        }
        const std::string action = ActionOf(row, setting.columns);
        const DcmEVR vr = present ? element->ident() : EVR_UNKNOWN;
        // Z may be a dummy: where the program gives one, a date, a time or
        // an ID, it goes as D.
        const DcmEVR dictionary = DcmTag(key).getEVR();
        const bool zeroed =
            action == "X/Z" ||
            (action == "Z" && dictionary != EVR_DA && dictionary != EVR_TM &&
             dictionary != EVR_DT && dictionary != EVR_SH);
        if (action == "X") {
          EXPECT_FALSE(present);
        } else if (zeroed) {
          ASSERT_TRUE(present);
          EXPECT_EQ(element->getLength(), 0u);
        } else if (vr == EVR_SQ) {
          // Given a dummy value, it keeps its items, their text a dummy.
          DcmItem* kept = nullptr;
          OFString text;
          ASSERT_TRUE(item->findAndGetSequenceItem(key, kept, 0).good());
          kept->findAndGetOFString(DCM_TextValue, text);
          const bool dummy = action != "K" && action != "X/Z/U*";
          EXPECT_EQ(text, dummy ? "ANONYMIZED" : "WHO WAS INSIDE");
        } else if (action == "K" || action == "X/Z/U*") {
          EXPECT_TRUE(present);
        } else if (action == "U" || vr == EVR_UI) {
          ASSERT_TRUE(present);
          EXPECT_EQ(value.substr(0, 5), "2.25.");
        } else if (action == "C" && (vr == EVR_DA || vr == EVR_DT)) {
          ASSERT_TRUE(present);
          EXPECT_LT(std::string(value.c_str()), "20070801");
          EXPECT_NE(std::string(value.c_str()), "19000101");
        } else {  // D, X/D, X/Z/D, Z/D: a dummy
          ASSERT_TRUE(present);
          EXPECT_GT(element->getLength(), 0u);
          EXPECT_EQ(value.find("WHO"), OFString_npos);
        }
      }
    }
    OFString removed;
    copy.getDataset()->findAndGetOFString(DCM_PatientIdentityRemoved, removed);
    EXPECT_EQ(removed, "YES");

    ASSERT_EQ(Finish(StartCli({"--restore", folder.path()}, "",
                              folder.path() + ".log")),
              0)
        << ReadBytes(folder.path() + ".log");
    RemoveEntry(folder.path() + ".log");
    EXPECT_TRUE(Datasets(folder.path()) == before);
    // The folder is anonymized with the profile: a run without it is not.
    EXPECT_EQ(Finish(StartCli({folder.path()}, "", folder.path() + ".log")), 2);
    RemoveEntry(folder.path() + ".log");
  }
}
