// Runs over whole folders: what the log says, what is left on disk and what
// the record holds, whatever the number of threads; and their undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>

#include "anonymize/prepared_file.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dicom/verified_save.h"
#include "key/record_file.h"
#include "platform/system/dicom_file_name.h"
#include "tests/faults.h"
#include "tests/promise.h"
#include "tests/test_folder.h"
#include "ui/veilmark_dlg.h"

namespace {

using Strings = std::vector<std::string>;
const std::string kHeader = kRecordHeader;

RunOptions Options(int jobs, bool dryRun = false, bool restore = false) {
  RunOptions options;
  options.jobs = jobs;
  options.dryRun = dryRun;
  options.restore = restore;
  return options;
}

// The log of a run over `folder`, its path written FOLDER.
std::string RunOver(const ScratchFolder& folder,
                    const RunOptions& options = RunOptions(),
                    RunResult* result = nullptr) {
  LoggedRun run = RunLogged(folder.path(), options);
  if (result) *result = run.result;
  return Folded(run.log, folder);
}

// Files that fail, names that collide with each other and with originals
// the run deletes, a kept original, and values left in the file on load.
void WriteMixedFolder(const ScratchFolder& folder) {
  for (int i = 0; i < 60; ++i) {
    Fixture fixture = Patient(i % 3 ? "SMITH^ANN" : "DOE^JOHN", "20070802",
                              i % 7 ? 2048 : 20000);
    fixture.privateBytes = i % 5 ? 0 : 6000;
    fixture.sopInstanceUid = "1.2.3." + std::to_string(i);
    folder.Write("IM" + std::to_string(100 + i) + ".ima", fixture);
  }
  // Anonymized before: each maps onto the names of the others.
  for (const char* name :
       {"ANONA220070802.ima", "ANONA220070802_2.ima", "ANONA220070802_3.ima"}) {
    folder.Write(name, Patient("ANONSN20070802", "20070802"));
  }
  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("IM105x.ima", noName);
  WriteBytes(folder / "IM107x.ima", "not DICOM at all");
  std::filesystem::create_directory(FsPath(folder / "IM111x.ima"));
  folder.Write("IM113x.ima", Patient("SMITH^ANN", "20070802"));
  SetReadOnly(folder / "IM113x.ima");  // kept, but counted
  // A value representation DCMTK does not know (with a 4-byte length, as
  // DCMTK expects of one) is saved as UN: the copy fails its check.
  folder.Write("IM115x.ima", Patient("DOE^JOHN", "20070803"));
  std::string bytes = ReadBytes(folder / "IM115x.ima");
  const size_t vr = bytes.find(std::string("\x08\x00\x18\x00UI", 6)) + 4;
  bytes.replace(vr, 4,
                std::string("ZZ\0\0", 4) + bytes.substr(vr + 2, 2) +
                    std::string(2, '\0'));
  WriteBytes(folder / "IM115x.ima", bytes);
}

// Every entry of `folder` with its permissions, times and bytes.
std::string Snapshot(const ScratchFolder& folder) {
  std::string all;
  for (const std::string& name : folder.Names()) {
    all += name + " " + Stamp(folder / name) + "\n" + ReadBytes(folder / name);
  }
  return all;
}

}  // namespace

// Presses "Anonymize" on a dialog without a window, `folder` in its folder
// box; returns the lines its log gained.
std::string Press(CVeilmarkDlg* dlg, const ScratchFolder& folder) {
  size_t before = dlg->m_log.str().size();
  dlg->m_folder = folder.path().c_str();
  dlg->OnAnonymize();
  return dlg->m_log.str().substr(before);
}

TEST(Run, TheLogAndTheRecordGrowRunByRun) {
  ScratchFolder folder;
  CVeilmarkDlg dlg;
  EXPECT_EQ(Press(&dlg, folder), "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), kHeader);

  // A long value before the patient name: a second run reads past it.
  Fixture first = Patient("DOE^JOHN", "20070801");
  first.privateBytes = 100000;
  first.privateGroup = 0x0009;
  folder.Write("IM0001.ima", first);
  folder.Write("IM0002.ima", Patient("  SMITH^ANN  ", "        "));
  folder.Write("IM.0003.IMA", Patient("M\xFC^X", "20070803", 20000));
  const std::string before = DatasetWithoutPatientName(folder / "IM.0003.IMA");
  EXPECT_EQ(Press(&dlg, folder),
            "Anonymizing file: IM.0003.IMA\r\n"
            "Anonymizing file: IM0001.ima\r\n"
            "Anonymizing file: IM0002.ima\r\n"
            "Done. 3 file(s) modified.\r\n");
  // Leading blanks kept, trailing dropped; a date of blanks only is empty;
  // a dataset that declares no character set is read as ISO 8859-1; the
  // extension runs from the first dot.
  EXPECT_EQ(folder.Names(),
            (Strings{"ANON N.ima", "ANONDN20070801.ima",
                     "ANONMX20070803.0003.IMA", "anonymous_record.csv"}));
  const std::string copy = folder / "ANONMX20070803.0003.IMA";
  EXPECT_EQ(StoredPatientName(copy), "ANONMX20070803");
  EXPECT_EQ(DatasetWithoutPatientName(copy), before);

  // The next run leaves alone what the last one wrote, and keeps its lines:
  // it does what a run over the new files alone would do. A file under a
  // recorded name that holds another patient is no copy of ours.
  folder.Write("IM0004.ima", Patient("DOE^JOHN", "20070801"));
  folder.Write("ANON N.ima", Patient("ROE^JANE", "20070805"));
  EXPECT_EQ(Press(&dlg, folder),
            "Anonymizing file: ANON N.ima\r\n"
            "Anonymizing file: IM0004.ima\r\n"
            "Left 2 file(s) that an earlier run anonymized.\r\n"
            "Done. 2 file(s) modified.\r\n");
  EXPECT_EQ(dlg.m_log.str().substr(0, 27), "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"),
            kHeader +
                "IM.0003.IMA,ANONMX20070803.0003.IMA,M\xc3\xbc^X,"
                "ANONMX20070803\r\n"
                "IM0001.ima,ANONDN20070801.ima,DOE^JOHN,ANONDN20070801\r\n"
                "IM0002.ima,ANON N.ima,  SMITH^ANN,ANON N\r\n"
                "ANON N.ima,ANONRE20070805.ima,ROE^JANE,ANONRE20070805\r\n"
                "IM0004.ima,ANONDN20070801_2.ima,DOE^JOHN,ANONDN20070801\r\n");
}

// Also where a rename cannot refuse to replace (`linked`): then a link
// claims the name.
void NamesAreTheFirstFree(bool linked) {
  {
    faults::Scope scope(linked ? faults::RenameCannotRefuse() : nullptr);
    ScratchFolder folder;
    for (const char* name : {"a.ima", "b.ima", "c.ima"}) {
      folder.Write(name, Patient("SMITH^ANN", "20070802", 20000));
    }
    const std::string c = DatasetWithoutPatientName(folder / "c.ima");
    // Names taken by something else than a file are skipped, not followed
    // (a second folder where the system has no links).
    std::filesystem::create_directory(FsPath(folder / "ANONSN20070802_2.ima"));
    if (HasSymbolicLinks()) {
      ASSERT_TRUE(MakeSymbolicLink(folder / "outside",
                                   folder / "ANONSN20070802_3.ima"));
    } else {
      std::filesystem::create_directory(
          FsPath(folder / "ANONSN20070802_3.ima"));
    }
    RunOver(folder);
    EXPECT_FALSE(Exists(folder / "outside"));
    EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONSN20070802_5.ima"), c);
    RemoveEntry(folder / "ANONSN20070802_2.ima");
    RemoveEntry(folder / "ANONSN20070802_3.ima");

    // Without their record, the copies are files like any other: the next
    // pass maps all three to ANONA2...; the one after that maps each onto
    // its own name, taken until its original is gone.
    for (int pass = 0; pass < 2; ++pass) {
      RemoveEntry(folder / "anonymous_record.csv");
      RunOver(folder);
    }
    EXPECT_EQ(folder.Names(),
              (Strings{"ANONA220070802.ima", "ANONA220070802_2.ima",
                       "ANONA220070802_4.ima", "anonymous_record.csv"}));
    Rows rows = ReadRecord(folder);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0] + ">" + rows[0][1],
              "ANONA220070802.ima>ANONA220070802_4.ima");
    EXPECT_EQ(rows[1][0] + ">" + rows[1][1],
              "ANONA220070802_2.ima>ANONA220070802.ima");
    EXPECT_EQ(rows[2][0] + ">" + rows[2][1],
              "ANONA220070802_3.ima>ANONA220070802_2.ima");
    EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONA220070802_2.ima"), c);
  }
}

TEST(Run, NamesAreTheFirstFreeAndNeverReplaceAFile) {
  NamesAreTheFirstFree(false);
}

TEST(Run, NamesAreTheFirstFreeWhereARenameCannotRefuse) {
  if (!faults::RenameCanBeUnableToRefuse()) {
    GTEST_SKIP() << "SKIPPED: every rename of the system can refuse";
  }
  NamesAreTheFirstFree(true);
}

TEST(Run, FilesThatGetNoCopyAreLeftAlone) {
  ScratchFolder folder;
  struct Case {
    const char* file;
    Fixture fixture;
    const char* message;  // after "ERROR:", before ": PATH"
  } cases[] = {
      {"a", Patient("", "20070801"), "No patient name in file"},
      {"b", Patient("    ", "20070801"), "No patient name in file"},
      {"c", Patient("DOE^JOHN", ""), "No study date in file"},
      {"d", Patient("/DOE^JOHN", "20070801"),
       "Anonymous patient name can't be used as a file name"},
      {"e", Patient("DOE^JOHN", "2007\x7f"),
       "Anonymous patient name can't "
       "be used as a file name"},
      {"f", Patient("DOE^JOHN", std::string("2007\n0801", 9)),
       "Anonymous patient name can't be used as a file name"},
  };
  cases[0].fixture.patientNamePresence = Presence::kEmpty;
  cases[2].fixture.studyDatePresence = Presence::kAbsent;
  std::string log;
  for (const Case& c : cases) {
    folder.Write(std::string(c.file) + ".ima", c.fixture);
    log += "Anonymizing file: " + std::string(c.file) +
           ".ima\r\nERROR:" + c.message + ": FOLDER/" + c.file + ".ima\r\n";
  }
  // Entries that are not files are refused before they are opened, links
  // whatever they point to: a file of the folder is taken up once, under
  // its own name, and one outside never. (Links and FIFOs where the system
  // has them.)
  std::vector<std::string> refused;
  ScratchFolder outside;
  outside.Write("o.ima", Patient("ROE^JANE", "20070801"));
  if (HasSymbolicLinks()) {
    ASSERT_TRUE(MakeSymbolicLink("/nonexistent", folder / "g.ima"));
    ASSERT_TRUE(MakeSymbolicLink("j.ima", folder / "g2.ima"));
    ASSERT_TRUE(MakeSymbolicLink(outside / "o.ima", folder / "g3.ima"));
    refused = {"g", "g2", "g3"};
  }
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder / "h.ima")));
  refused.push_back("h");
  if (HasFifos()) {
    ASSERT_TRUE(MakeFifo(folder / "i.ima"));
    refused.push_back("i");
  }
  // A read-only original is kept, but its copy counts.
  folder.Write("j.ima", Patient("DOE^JOHN", "20070801"));
  SetReadOnly(folder / "j.ima");
  for (const std::string& name : refused) {
    log += "Anonymizing file: " + name +
           ".ima\r\nERROR:Couldn't load file: " + "FOLDER/" + name +
           ".ima (not a regular file)\r\n";
  }
  log +=
      "Anonymizing file: j.ima\r\nERROR:Couldn't delete old file: "
      "FOLDER/j.ima\r\nDone. 1 file(s) modified.\r\n";
  EXPECT_EQ(RunOver(folder), log);
  // All of them, the copy and the record.
  EXPECT_EQ(folder.Names().size(), std::size(cases) + refused.size() + 3);
  EXPECT_EQ(outside.Names(), Strings{"o.ima"});

  // The listing takes only names with a dot; one without gets no copy.
  FileJob job;
  job.fileName = "k";
  folder.Write("k", Patient("DOE^JOHN", "20070801"));
  StartFile(folder.path().c_str(), &job);
  PrepareFile(folder.path().c_str(), false, nullptr, &job);
  ASSERT_EQ(job.lines.size(), 2u);
  EXPECT_EQ(job.lines[1].message.str(),
            "Couldn't create anonymous file\r\nUnable to find first '.' in "
            "original filename: k.\r\nQuitting...");
}

TEST(Run, WhatCannotBeWrittenOrReadKeepsTheOriginal) {
  ScratchFolder folder;
  // An earlier record far larger than the files.
  const std::string earlier =
      kHeader + "IM0.ima,ANONX.ima," + std::string(200000, 'x') + ",ANONX\r\n";
  WriteBytes(folder / "anonymous_record.csv", earlier);
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  folder.Write("IM2.ima", Patient("SMITH^ANN", "20070802", 256 * 1024));
  Promise promise(folder.path());
  std::string log;
  {
    FileSizeLimit limit(100000);  // the small copy, but no record line
    log = RunOver(folder, Options(1));
  }
  EXPECT_EQ(log,
            "Anonymizing file: IM1.ima\r\n"
            "ERROR:Couldn't write to anonymous_record.csv: " +
                FileSizeLimit::Reason() +
                "\r\n"
                "Anonymizing file: IM2.ima\r\n"
                "ERROR:Couldn't save new file: FOLDER/ANONSN20070802.ima\r\n"
                "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(promise.UntouchedOriginals(), (Strings{"IM1.ima", "IM2.ima"}));
  EXPECT_EQ(folder.Names(),
            (Strings{"IM1.ima", "IM2.ima", "anonymous_record.csv"}));
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), earlier);

  // A record that cannot be read refuses the run, its dry run and the undo
  // alike: none of them changes anything.
  faults::Scope scope(
      faults::Fail(faults::Op::kRead, "anonymous_record.csv", EIO));
  const std::string before = Snapshot(folder);
  for (const RunOptions& options :
       {Options(1), Options(1, true), Options(1, false, true)}) {
    RunResult result;
    log = RunOver(folder, options, &result);
    EXPECT_EQ(log.substr(0, 42), "ERROR:Couldn't read anonymous_record.csv: ");
    EXPECT_EQ(log.find("\r\n"), log.size() - 2) << log;
    EXPECT_FALSE(result.started);
  }
  EXPECT_EQ(Snapshot(folder), before);
}

// The record opened in an editor during a run and saved back, as a new
// file put in its place or over its own bytes, each losing the lines the
// run wrote after the editor read it: the run notices before its next
// line, writes each line of its copies into the record the name now gives
// once more, and stops.
TEST(Run, ARecordChangedDuringARunKeepsEveryLine) {
  // Where the system keeps others from a file a process holds open (and
  // locks), no editor can replace or write the record during a run.
  if (!OpenFilesCanBeChanged()) {
    GTEST_SKIP() << "SKIPPED: the record held open cannot be changed";
  }
  for (bool inPlace : {false, true}) {
    SCOPED_TRACE(inPlace ? "saved in place" : "replaced");
    ScratchFolder folder;
    for (int i = 1; i <= 3; ++i) {
      folder.Write("IM" + std::to_string(i) + ".ima",
                   Patient("DOE^JOHN", "2007080" + std::to_string(i)));
    }
    const std::string record = folder / "anonymous_record.csv";
    Promise promise(folder.path());
    std::string log;
    {
      faults::Scope scope(faults::At(faults::Op::kRename, "ANON", [&] {
        const std::string saved = inPlace ? kHeader : ReadBytes(record);
        if (inPlace) return WriteBytes(record, saved);
        WriteBytes(record + ".new", saved);
        std::filesystem::rename(FsPath(record + ".new"), FsPath(record));
      }));
      log = RunOver(folder, Options(1));
    }
    EXPECT_EQ(log,
              "Anonymizing file: IM1.ima\r\nAnonymizing file: IM2.ima\r\n"
              "ERROR:anonymous_record.csv was changed by another program "
              "during the run; this run's lines were written to it again, and "
              "the run stopped: FOLDER/anonymous_record.csv\r\n"
              "Stopped: 1 file(s) not taken up.\r\n"
              "Done. 2 file(s) modified.\r\n");
    EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
    Rows rows = ReadRecord(folder);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "ANONDN20070801.ima");
    EXPECT_EQ(rows[1][1], "ANONDN20070802.ima");
  }
}

TEST(Run, SameOutputAtAnyNumberOfJobs) {
  ScratchFolder sequential, parallel;
  WriteMixedFolder(sequential);
  parallel.CopyFrom(sequential);

  RunResult one, four;
  std::string log = RunOver(sequential, Options(1), &one);
  EXPECT_EQ(RunOver(parallel, Options(4), &four), log);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "Done. 64 file(s) modified.", log);
  // Five files get an error line: four get no copy, and the read-only
  // one's copy counts but its original is kept.
  for (const RunResult& result : {one, four}) {
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.modified, 64);
    EXPECT_EQ(result.failed, 5);
    EXPECT_EQ(result.errorLines, 5);
  }
  EXPECT_EQ(sequential.Names(), parallel.Names());
  for (const std::string& name : sequential.Names()) {
    EXPECT_EQ(ReadBytes(sequential / name), ReadBytes(parallel / name)) << name;
  }
}

// What a stopped run left: an original beside its recorded copy is
// deleted, not taken up again; a read-only one is kept and said; a new file
// under an old name (scanners reuse them) is anonymized like any other.
TEST(Run, TheNextRunFinishesWhatAStoppedOneLeft) {
  ScratchFolder folder, elsewhere;
  const char* const kNames[] = {"IM1.ima", "IM2.ima", "IM3.ima", "IM4.ima"};
  for (int i = 0; i < 4; ++i) {
    Fixture fixture = Patient("DOE^JOHN", "2007080" + std::to_string(i + 1));
    fixture.sopInstanceUid = "1.2.3." + std::to_string(i);
    folder.Write(kNames[i], fixture);
  }
  std::vector<std::string> bytes;
  for (const char* name : kNames) bytes.push_back(ReadBytes(folder / name));
  Promise promise(folder.path());
  RunOver(folder);
  // IM1.ima is a new series' first file, the old one's dataset and more;
  // IM2.ima, IM3.ima and IM4.ima are back as a run stopped before deleting
  // them would have left them, and IM4's copy has since been handed on. A
  // temporary file says that a run was stopped.
  WriteBytes(folder / "IM1.ima", bytes[0]);
  DcmFileFormat next;
  ASSERT_TRUE(next.loadFile(DicomFileName(folder / "IM1.ima")).good());
  const Uint8 pixels[4] = {1, 2, 3, 4};
  next.getDataset()->putAndInsertUint8Array(DCM_PixelData, pixels, 4);
  ASSERT_TRUE(
      next.saveFile(DicomFileName(folder / "IM1.ima"), EXS_LittleEndianExplicit)
          .good());
  for (int i = 1; i < 4; ++i) WriteBytes(folder / kNames[i], bytes[i]);
  SetReadOnly(folder / "IM3.ima");
  std::filesystem::rename(FsPath(folder / "ANONDN20070804.ima"),
                          FsPath(elsewhere / "ANONDN20070804.ima"));
  WriteBytes(folder / ".veilmark-Ab3dE9.tmp", bytes[3]);
  WriteBytes(folder / ".veilmark-Ab3dE9.tmp.keep", "not ours");
  const std::string before = Snapshot(folder);
  const std::string expected =
      "Finishing earlier run: deleted IM2.ima (kept as "
      "ANONDN20070802.ima)\r\n"
      "ERROR:Couldn't delete old file: FOLDER/IM3.ima\r\n"
      "Anonymizing file: IM1.ima\r\n"
      "Anonymizing file: IM4.ima\r\n"
      "Left 3 file(s) that an earlier run anonymized.\r\n"
      "Done. 2 file(s) modified.\r\n";
  RunResult dry;
  EXPECT_EQ(RunOver(folder, Options(0, true), &dry),
            "Finishing earlier run: deleted IM2.ima (kept as "
            "ANONDN20070802.ima)\r\n"
            "ERROR:Couldn't delete old file: FOLDER/IM3.ima\r\n"
            "Anonymizing file: IM1.ima\r\n  -> ANONDN20070801_2.ima\r\n"
            "Anonymizing file: IM4.ima\r\n  -> ANONDN20070804_2.ima\r\n"
            "Left 3 file(s) that an earlier run anonymized.\r\n"
            "Dry run: 2 file(s) would be modified.\r\n");
  EXPECT_EQ(Snapshot(folder), before);
  RunResult result;
  EXPECT_EQ(RunOver(folder, RunOptions(), &result), expected);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(dry.failed, 1);
  EXPECT_FALSE(Exists(folder / "IM1.ima") || Exists(folder / "IM2.ima") ||
               Exists(folder / "IM4.ima") ||
               Exists(folder / ".veilmark-Ab3dE9.tmp"));
  EXPECT_TRUE(Exists(folder / ".veilmark-Ab3dE9.tmp.keep"));
  // The lines of IM1 and IM4: the old copy's and the new one's; the handed
  // on copy's line stays, its key.
  int im1 = 0, im4 = 0;
  for (const auto& row : ReadRecord(folder)) {
    im1 += row[0] == "IM1.ima";
    im4 += row[0] == "IM4.ima";
  }
  EXPECT_EQ(im1, 2);
  EXPECT_EQ(im4, 2);
  // Each dataset once, but for the original kept read-only and the copy
  // handed on.
  EXPECT_EQ(promise.NotExactlyOnce(),
            std::vector<std::string>{"IM3.ima held 2 times"});
}

TEST(Run, DryRunChangesNothingAndForetellsTheRun) {
  ScratchFolder folder;
  WriteMixedFolder(folder);
  WriteBytes(folder / "anonymous_record.csv", kHeader);
  const std::string before = Snapshot(folder);
  const std::string preview = RunOver(folder, Options(4, true));
  EXPECT_EQ(Snapshot(folder), before);

  // The run's log is the preview's, but for the new names and the last
  // line; the names are those the run writes, in the same order.
  std::string expected, named;
  for (size_t at = 0; at < preview.size();) {
    size_t end = preview.find("\r\n", at) + 2;
    std::string line = preview.substr(at, end - at);
    if (line.compare(0, 5, "  -> ") == 0) {
      named += line.substr(5, line.size() - 7) + "\n";
    } else if (line.compare(0, 9, "Dry run: ") == 0) {
      expected +=
          "Done. " + line.substr(9, line.find(" would") - 9) + " modified.\r\n";
    } else {
      expected += line;
    }
    at = end;
  }
  EXPECT_EQ(RunOver(folder, Options(4)), expected);
  std::string written;
  for (const auto& row : ReadRecord(folder)) written += row[1] + "\n";
  EXPECT_EQ(written, named);
  EXPECT_PRED_FORMAT2(testing::IsSubstring,
                      "ERROR:Couldn't save new file: FOLDER/ANONDN20070803",
                      preview);
  // Neither leaves a file open.
  EXPECT_EQ(FilesHeldOpen(folder.path()), std::vector<std::string>{});
}

// Two runs over the mixed folder, then an undo: every original is back
// under its name, with its patient name and every other element; the
// record keeps its header only. A dry undo first changes nothing and
// foretells the names.
TEST(Run, AnUndoGivesBackEveryOriginal) {
  ScratchFolder folder;
  WriteMixedFolder(folder);
  // A read-only original's copies are read-only too: an undo could not
  // delete them.
  SetReadOnly(folder / "IM113x.ima", false);
  const auto before = Datasets(folder.path());
  // Earlier versions took up the copies of earlier runs again: their
  // record holds both runs' lines.
  RunOver(folder, Options(4));
  const std::string record = folder / "anonymous_record.csv";
  const std::string first = ReadBytes(record);
  RemoveEntry(record);
  RunOver(folder, Options(4));
  WriteBytes(record, first + ReadBytes(record).substr(kHeader.size()));
  // The record keeps its access, shared with the group on purpose.
  const bool kept = ShareWithGroup(record);
  const std::string shared = AccessOf(record);
  const std::string snapshot = Snapshot(folder);
  const std::string preview = RunOver(folder, Options(4, true, true));
  EXPECT_EQ(Snapshot(folder), snapshot);
  RunResult result;
  RunOver(folder, Options(4, false, true), &result);
  EXPECT_EQ(result.failed, 0);
  EXPECT_EQ(result.modified, 2 * 64);
  EXPECT_PRED_FORMAT2(testing::IsSubstring,
                      "Dry run: 128 file(s) would be restored.", preview);
  EXPECT_TRUE(Datasets(folder.path()) == before);
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), kHeader);
  if (kept) {
    EXPECT_EQ(AccessOf(record), shared);
  }
}

// What an undo cannot take back stays, with its line and an error line: a
// name another file took since, a copy gone (handed on, its original's name
// since reused for a new scan of the same patient) or changed, a line that
// does not parse, two lines that name one copy (a name given again after
// its copy was handed on, by a version before this one, or a line added by
// hand). An original put back by an undo that was stopped is known; a
// read-only copy beside it says so once. An undo's evidence that is no
// file of ours stops it before anything changes.
TEST(Run, AnUndoKeepsWhatItCannotTakeBack) {
  ScratchFolder folder;
  for (int i = 1; i <= 7; ++i) {
    Fixture fixture = Patient("DOE^JOHN", "2007080" + std::to_string(i));
    fixture.sopInstanceUid = "1.2.3." + std::to_string(i);
    folder.Write("IM" + std::to_string(i) + ".ima", fixture);
  }
  const std::string putBack = ReadBytes(folder / "IM5.ima");
  const std::string putBackReadOnly = ReadBytes(folder / "IM6.ima");
  RunOver(folder);
  folder.Write("IM1.ima", Patient("ROE^JANE", "20070901"));  // taken
  RemoveEntry(folder / "ANONDN20070802.ima");                // handed on
  folder.Write("IM2.ima", Patient("DOE^JOHN", "20070802"));  // a new scan
  folder.Write("ANONDN20070803.ima", Patient("SOMEONE^ELSE", "20070803"));
  SetReadOnly(folder / "ANONDN20070804.ima");  // kept
  WriteBytes(folder / "IM5.ima", putBack);     // stopped
  WriteBytes(folder / "IM6.ima", putBackReadOnly);
  SetReadOnly(folder / "ANONDN20070806.ima");
  WriteBytes(folder / "anonymous_record.csv",
             ReadBytes(folder / "anonymous_record.csv") +
                 "no,line\r\n../IM9.ima,../ANONDN20070809.ima,DOE^JOHN,"
                 "ANONDN20070809\r\nIM8.ima,ANONDN20070807.ima,DEAN^JOHN,"
                 "ANONDN20070807\r\n");
  const std::string shared =
      "Restoring file: ANONDN20070807.ima\r\n"
      "ERROR:Lines 8 and 11 of anonymous_record.csv name the same anonymous "
      "file, so none of them is undone: FOLDER/ANONDN20070807.ima\r\n";
  const std::string expected =
      shared +
      "ERROR:Couldn't read line 10 of anonymous_record.csv\r\n"
      "ERROR:Couldn't read line 9 of anonymous_record.csv\r\n" +
      shared +
      "Restoring file: ANONDN20070806.ima\r\n"
      "ERROR:Couldn't delete old file: FOLDER/ANONDN20070806.ima\r\n"
      "Restoring file: ANONDN20070805.ima\r\n"
      "Finishing earlier restore: deleted ANONDN20070805.ima (restored "
      "as IM5.ima)\r\n"
      "Restoring file: ANONDN20070804.ima\r\n"
      "ERROR:Couldn't delete old file: FOLDER/ANONDN20070804.ima\r\n"
      "Restoring file: ANONDN20070803.ima\r\n"
      "ERROR:Patient name is no longer ANONDN20070803 in file: "
      "FOLDER/ANONDN20070803.ima\r\n"
      "Restoring file: ANONDN20070802.ima\r\n"
      "ERROR:Couldn't load file: FOLDER/ANONDN20070802.ima (No such "
      "file or directory)\r\n"
      "Restoring file: ANONDN20070801.ima\r\n"
      "ERROR:Old file name is taken by another file: "
      "FOLDER/IM1.ima\r\n";
  RunResult dry, result;
  std::string preview = expected;
  preview.insert(
      preview.find("ERROR:Couldn't delete old file: FOLDER/ANONDN20070804"),
      "  -> IM4.ima\r\n");
  EXPECT_EQ(RunOver(folder, Options(1, true, true), &dry),
            preview + "Dry run: 1 file(s) would be restored.\r\n");
  EXPECT_EQ(RunOver(folder, Options(1, false, true), &result),
            expected + "Done. 1 file(s) restored.\r\n");
  EXPECT_EQ(result.failed, 9);
  EXPECT_EQ(dry.failed, 9);
  EXPECT_EQ(
      folder.Names(),
      (Strings{"ANONDN20070801.ima", "ANONDN20070803.ima", "ANONDN20070804.ima",
               "ANONDN20070806.ima", "ANONDN20070807.ima", "IM1.ima", "IM2.ima",
               "IM4.ima", "IM5.ima", "IM6.ima", "anonymous_record.csv"}));
  EXPECT_EQ(ReadBytes(folder / "IM5.ima"), putBack);
  EXPECT_EQ(StoredPatientName(folder / "IM2.ima"), "DOE^JOHN");
  // Every line stays but the one undone.
  Rows rows = ReadRecord(folder);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[1][1], "ANONDN20070802.ima");
  EXPECT_TRUE(rows[6].empty());
  EXPECT_EQ(rows[7][0], "../IM9.ima");
  EXPECT_EQ(rows[8][2], "DEAN^JOHN");

  const std::string evidence = folder / "anonymous_record.undo";
  std::filesystem::create_directory(FsPath(evidence));
  const std::string before = Snapshot(folder);
  for (bool dryRun : {true, false}) {
    EXPECT_EQ(RunOver(folder, Options(1, dryRun, true), &result),
              "ERROR:anonymous_record.undo is not a regular file: "
              "FOLDER/anonymous_record.undo\r\n");
    EXPECT_FALSE(result.started);
  }
  EXPECT_EQ(Snapshot(folder), before);
}

// A record opened in a spreadsheet or an editor and saved back: its header
// gone or moved by sorting, a line twice, blank lines, a byte order mark,
// every field quoted (other layouts: key/record_file_test.cc). A run reads
// it whole and leaves the copies it names alone, or refuses the folder by
// the line it cannot read, changing nothing; the undo reads it too, or
// refuses that line alone; and the dry runs say exactly what the runs then
// do.
TEST(Run, ARecordSavedBackIsReadOrTheLineNamed) {
  using Lines = std::vector<std::string>;
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const char* label;
    std::function<std::string(const Lines&)> damage;
    const char* error;  // the undo's only error line, if any
  } cases[] = {
      {"sorted",
       [](const Lines& lines) {
         return lines[1] + lines[2] + lines[0] + lines[3];
       },
       nullptr},
      {"a line twice",
       [](const Lines& lines) {
         return lines[0] + lines[1] + lines[2] + lines[1] + lines[3];
       },
       nullptr},
      {"blank lines at the end",
       [](const Lines& lines) {
         return lines[0] + lines[1] + lines[2] + lines[3] + "\r\n\r\n\n";
       },
       nullptr},
      {"UTF-8 without the header",
       [&](const Lines& lines) { return bom + lines[1] + lines[2] + lines[3]; },
       nullptr},
      {"a quoted header",
       [](const Lines& lines) {
         return "\"Original Filename\",\"Anonymous Filename\",\"Original "
                "Patient Name\",\"Anonymous Patient Name\"\r\n" +
                lines[1] + lines[2] + lines[3];
       },
       nullptr},
      {"a stray carriage return",
       [](const Lines& lines) {
         return lines[0] + lines[1] + "IM2.ima\r" + lines[2].substr(7) +
                lines[3];
       },
       "ERROR:Couldn't read line 3 of anonymous_record.csv (a carriage return "
       "without a line feed)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchFolder folder;
    for (int i = 1; i <= 3; ++i) {
      folder.Write("IM" + std::to_string(i) + ".ima",
                   Patient("DOE^JOHN", "2007080" + std::to_string(i)));
    }
    const auto before = Datasets(folder.path());
    RunOver(folder);
    const std::string text = ReadBytes(folder / "anonymous_record.csv");
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at) + 2;
      lines.push_back(text.substr(at, end - at));
      at = end;
    }
    ASSERT_EQ(lines.size(), 4u);
    WriteBytes(folder / "anonymous_record.csv", c.damage(lines));

    const std::string snapshot = Snapshot(folder);
    RunResult rerun;
    const std::string again =
        c.error ? std::string(c.error) + ", so no file was taken up: FOLDER\r\n"
                : "Left 3 file(s) that an earlier run anonymized.\r\n";
    EXPECT_EQ(
        RunOver(folder, Options(0, true)),
        again + (c.error ? "" : "Dry run: 0 file(s) would be modified.\r\n"));
    EXPECT_EQ(RunOver(folder, RunOptions(), &rerun),
              again + (c.error ? "" : "Done. 0 file(s) modified.\r\n"));
    EXPECT_EQ(rerun.started, !c.error);
    EXPECT_EQ(Snapshot(folder), snapshot);

    RunResult dry, result;
    std::string preview = RunOver(folder, Options(0, true, true), &dry);
    const std::string log = RunOver(folder, Options(0, false, true), &result);
    std::string expected;
    for (size_t at = 0; at < preview.size();) {
      const size_t end = preview.find("\r\n", at) + 2;
      const std::string line = preview.substr(at, end - at);
      if (line.compare(0, 5, "  -> ") != 0) expected += line;
      at = end;
    }
    const size_t closing = expected.rfind("Dry run: ");
    expected.replace(
        closing, std::string::npos,
        "Done. " + std::to_string(result.modified) + " file(s) restored.\r\n");
    EXPECT_EQ(log, expected);
    EXPECT_EQ(dry.errorLines, result.errorLines);
    EXPECT_EQ(dry.modified, result.modified);
    if (c.error) {
      EXPECT_PRED_FORMAT2(testing::IsSubstring, c.error, log);
      EXPECT_EQ(result.errorLines, 1);
      EXPECT_EQ(ReadRecord(folder).size(), 1u);
    } else {
      EXPECT_EQ(result.errorLines, 0) << log;
      EXPECT_TRUE(Datasets(folder.path()) == before);
      EXPECT_EQ(ReadRecord(folder).size(), 0u);
    }
  }
}

TEST(Run, EveryEncodingKeepsEveryElementButThePatientName) {
  struct Case {
    const char* label;
    E_TransferSyntax xfer;
    size_t pixelBytes;
    int frames;
  } cases[] = {
      {"implicit", EXS_LittleEndianImplicit, 4000, 1},
      {"big_endian", EXS_BigEndianExplicit, 64 * 1024, 1},
      {"deflated", EXS_DeflatedLittleEndianExplicit, 64 * 1024, 1},
      {"encapsulated", EXS_JPEGProcess1, 3 * 20000, 3},
      {"no_meta_header", EXS_LittleEndianImplicit, 10000, 1},
      {"private_and_sequences", EXS_LittleEndianExplicit, 0, 1},
      // Too large to be read whole: streamed from the original.
      {"streamed", EXS_LittleEndianExplicit, kWholeFileBytes, 1},
      {"streamed_big_endian", EXS_BigEndianExplicit, kWholeFileBytes, 1},
      {"streamed_encapsulated", EXS_JPEGProcess1, kWholeFileBytes, 2},
  };
  ScratchFolder folder;
  std::vector<std::string> before;
  for (size_t i = 0; i < std::size(cases); ++i) {
    Fixture fixture =
        Patient("DOE^JOHN", "2007080" + std::to_string(i), cases[i].pixelBytes);
    fixture.xfer = cases[i].xfer;
    fixture.frames = cases[i].frames;
    fixture.metaHeader = i != 4;
    fixture.privateBytes = i == 5 ? 9000 : 0;
    fixture.sequence = i == 5;
    folder.Write(std::string(cases[i].label) + ".ima", fixture);
    before.push_back(
        DatasetWithoutPatientName(folder / cases[i].label + ".ima"));
    ASSERT_FALSE(before.back().empty()) << cases[i].label;
  }
  RunOver(folder);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string name = "ANONDN2007080" + std::to_string(i);
    EXPECT_EQ(StoredPatientName(folder / name + ".ima"), name);
    EXPECT_EQ(DatasetWithoutPatientName(folder / name + ".ima"), before[i])
        << cases[i].label;
  }
  EXPECT_EQ(Names(folder.path(), true).size(), std::size(cases));
}

// Names beyond ASCII, in the character sets scanners write and with the
// element in other value representations: the anonymous name is made of
// whole characters (a base with its marks) and written in the file's own
// character set, the value ending in the sets its first term declares;
// the file name and the record are UTF-8, and an undo gives back every
// name byte for byte, or where escape sequences that change nothing stood
// otherwise, the same text; a record line of an earlier version (its bytes
// as stored) too. A folder whose names were decomposed on the way runs and
// undoes as it was.
TEST(Run, EveryNameInItsOwnCharacterSet) {
  const std::string date = "20070801";
  struct Case {
    const char* charset;
    std::string name;  // as stored
    DcmEVR vr;
    std::string anonymous;  // UTF-8, without the date
    std::string stored;     // the copy's patient name, as stored
    std::string recorded;   // the record's original patient name
    std::string restored;   // after an undo, when not `name`
  };
  std::vector<Case> cases = {
      {"ISO_IR 192", "M\xc3\xbcller^Zo\xc3\xab", EVR_PN, "ANONM\xc3\xab",
       "ANONM\xc3\xab" + date, "M\xc3\xbcller^Zo\xc3\xab", ""},
      // Decomposed: the last character is the e with its diaeresis.
      {"ISO_IR 192", "Zoe\xcc\x88", EVR_PN, "ANONZe\xcc\x88",
       "ANONZe\xcc\x88" + date, "Zoe\xcc\x88", ""},
      // Thai: a consonant with a vowel and a tone mark above it.
      {"ISO_IR 166", "\xca\xc1\xc8\xd1\xa1\xb4\xd4\xec", EVR_PN,
       "ANON\xe0\xb8\xaa\xe0\xb8\x94\xe0\xb8\xb4\xe0\xb9\x8c",
       "ANON\xca\xb4\xd4\xec" + date,
       "\xe0\xb8\xaa\xe0\xb8\xa1\xe0\xb8\xa8\xe0\xb8\xb1\xe0\xb8\x81"
       "\xe0\xb8\x94\xe0\xb8\xb4\xe0\xb9\x8c",
       ""},
      {"ISO_IR 203", "\xa6koda^Zo\xeb", EVR_PN, "ANON\xc5\xa0\xc3\xab",
       "ANON\xa6\xeb" + date, "\xc5\xa0koda^Zo\xc3\xab", ""},
      // Greek beside Latin-1, as the standard writes it: G1 back to
      // Latin-1 at the end; and left at Greek, which the copy's name and an
      // undo end in Latin-1 all the same.
      {"ISO 2022 IR 100\\ISO 2022 IR 126",
       "Dionysios=\x1b-F\xc4\xe9\xef\xed\xf5\xf3\xe9\xef\xf2\x1b-A", EVR_PN,
       "ANOND\xcf\x82", "ANOND\x1b-F\xf2" + date + "\x1b-A",
       "Dionysios=\xce\x94\xce\xb9\xce\xbf\xce\xbd\xcf\x85\xcf\x83\xce"
       "\xb9\xce\xbf\xcf\x82",
       ""},
      {"ISO 2022 IR 100\\ISO 2022 IR 126", "Zo\xeb=\x1b-F\xc4", EVR_PN,
       "ANONZ\xce\x94", "ANONZ\x1b-F\xc4" + date + "\x1b-A",
       "Zo\xc3\xab=\xce\x94", "Zo\xeb=\x1b-F\xc4\x1b-A"},
      {"\\ISO 2022 IR 87",
       "Yamada^Tarou=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B=\x1b$B$d$^$@\x1b(B^"
       "\x1b$B$?$m$&\x1b(B",
       EVR_PN, "ANONY\xe3\x81\x86", "ANONY\x1b$B$&\x1b(B" + date,
       "Yamada^Tarou=\xe5\xb1\xb1\xe7\x94\xb0^\xe5\xa4\xaa\xe9\x83\x8e="
       "\xe3\x82\x84\xe3\x81\xbe\xe3\x81\xa0^\xe3\x81\x9f\xe3\x82\x8d\xe3\x81"
       "\x86",
       ""},
      // An escape sequence that changes nothing.
      {"\\ISO 2022 IR 87", "\x1b(BDOE^JOHN", EVR_PN, "ANONDN", "ANONDN" + date,
       "DOE^JOHN", "DOE^JOHN"},
      {"GB18030", "Wang^XiaoDong=\xcd\xf5^\xd0\xa1\xb6\xab", EVR_PN,
       "ANONW\xe4\xb8\x9c", "ANONW\xb6\xab" + date,
       "Wang^XiaoDong=\xe7\x8e\x8b^\xe5\xb0\x8f\xe4\xb8\x9c", ""},
      // As Korean systems write it: the default set invoked again before
      // the padding, where it already was.
      {"\\ISO 2022 IR 149", "\x1b$)C\xc8\xab\xb1\xe6\xb5\xbf\x1b(B", EVR_PN,
       "ANON\xed\x99\x8d\xeb\x8f\x99", "ANON\x1b$)C\xc8\xab\xb5\xbf" + date,
       "\xed\x99\x8d\xea\xb8\xb8\xeb\x8f\x99",
       "\x1b$)C\xc8\xab\xb1\xe6\xb5\xbf"},
      // Written by systems that did not know the element (UN), or by
      // mistake in another text VR: read as the text it holds.
      {"", "Lastname^Firstname", EVR_UN, "ANONLe", "ANONLe" + date,
       "Lastname^Firstname", ""},
      {"ISO_IR 100", "M\xfcller^Hans", EVR_LO, "ANONMs", "ANONMs" + date,
       "M\xc3\xbcller^Hans", ""},
  };
  if (!SystemHasGb18030()) {
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [](const Case& c) {
                                 return c.charset == std::string("GB18030");
                               }),
                cases.end());
  }
  // Listed in the order of the cases.
  auto Im = [](size_t i) {
    return "IM" + std::string(i < 10, '0') + std::to_string(i) + ".ima";
  };
  ScratchFolder folder;
  std::map<std::string, std::string> before;
  for (size_t i = 0; i < cases.size(); ++i) {
    Fixture fixture = Patient(cases[i].name, date);
    fixture.specificCharacterSet = cases[i].charset;
    fixture.patientNameVr = cases[i].vr;
    if (cases[i].vr == EVR_UN) fixture.studyDateVr = EVR_UN;
    const std::string file = Im(i);
    folder.Write(file, fixture);
    before[file] = DatasetWithoutPatientName(folder / file);
  }
  // What cannot be read as text or written in the file's character set is
  // left as it is; so are escape sequences where the character set allows
  // none.
  const struct {
    const char* charset;
    std::string name;
    std::string message;
  } refused[] = {
      {"", "\xc4rger^Max",
       "Anonymous patient name can't be written in the file's character set "
       "(none)"},
      {"ISO_IR 192", "Zo\xc3",
       "Patient name is not text in the file's "
       "character set (ISO_IR 192)"},
      {"ISO_IR 999", "M\xfcller",
       "Patient name is not text in the file's character set (ISO_IR 999)"},
      {"ISO_IR 192", "\x1b$BDOE^JOHN",
       "Patient name is not text in the file's character set (ISO_IR 192)"},
      {"ISO_IR 100", "DOE^JOHN\x1b-A",
       "Patient name is not text in the file's character set (ISO_IR 100)"},
  };
  std::string errors;
  for (size_t i = 0; i < std::size(refused); ++i) {
    Fixture fixture = Patient(refused[i].name, date);
    fixture.specificCharacterSet = refused[i].charset;
    const std::string file = "X" + std::to_string(i) + ".ima";
    folder.Write(file, fixture);
    errors += "Anonymizing file: " + file + "\r\nERROR:" + refused[i].message +
              ": FOLDER/" + file + "\r\n";
  }
  // Copies and lines as an earlier version left them: the bytes recorded,
  // ISO 2022 escape sequences among them.
  const std::string jis = "\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B";
  folder.Write("ANONMX20070803.ima", Patient("ANONMX20070803", "20070803"));
  Fixture earlier = Patient("ANON\x1b$B;3\x1b(B:20070804", "20070804");
  earlier.specificCharacterSet = "\\ISO 2022 IR 87";
  folder.Write("ANONJ20070804.ima", earlier);
  WriteBytes(folder / "anonymous_record.csv",
             kHeader + "OLD.ima,ANONMX20070803.ima,M\xfc^X,ANONMX20070803\r\n" +
                 "OLD87.ima,ANONJ20070804.ima," + jis +
                 ",ANON\x1b$B;3\x1b(B:" + "20070804\r\n");
  const Promise promise(folder.path());

  const std::string log = RunOver(folder);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, errors, log);
  Rows rows = ReadRecord(folder);
  ASSERT_EQ(rows.size(), cases.size() + 2);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.recorded);
    const std::string file = c.anonymous + date + ".ima";
    EXPECT_EQ(StoredPatientName(folder / file), c.stored);
    EXPECT_EQ(DatasetWithoutPatientName(folder / file), before[Im(i)]);
    EXPECT_EQ(rows[i + 2], (std::vector<std::string>{Im(i), file, c.recorded,
                                                     c.anonymous + date}));
  }
  EXPECT_EQ(promise.UntouchedOriginals(),
            (Strings{"ANONJ20070804.ima", "ANONMX20070803.ima", "X0.ima",
                     "X1.ima", "X2.ima", "X3.ima", "X4.ima"}));

  // Through a file system that writes names decomposed: a run leaves the
  // copies alone, and the undo finds them.
  const std::string composed = "ANONM\xc3\xab" + date + ".ima";
  const std::string decomposed = "ANONMe\xcc\x88" + date + ".ima";
  if (IsPossibleName(decomposed)) {
    std::filesystem::rename(FsPath(folder / composed),
                            FsPath(folder / decomposed));
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "Left " + std::to_string(cases.size() + 2) +
                            " file(s) that an earlier run anonymized.\r\n"
                            "Done. 0 file(s) modified.",
                        RunOver(folder));
  }
  RunOver(folder, Options(0, false, true));
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), kHeader);
  EXPECT_EQ(StoredPatientName(folder / "OLD.ima"), "M\xfc^X");
  EXPECT_EQ(StoredPatientName(folder / "OLD87.ima"), jis);
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string file = folder / Im(i);
    EXPECT_EQ(StoredPatientName(file),
              cases[i].restored.empty() ? cases[i].name : cases[i].restored);
    EXPECT_EQ(DatasetWithoutPatientName(file), before[Im(i)]);
  }
}
