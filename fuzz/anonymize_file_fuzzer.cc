// libFuzzer target: each input is one .ima file, alone in a folder with a
// record that earlier runs left, over which a run goes. Afterwards the
// folder must hold either the input, byte for byte, and a record without a
// line, or one anonymized copy that loads, carries the anonymous name and
// otherwise the input's dataset, and the record line that leads back to it.
// Anything else (a leftover temporary file, a second copy, an original gone
// without its copy, a file written beside the folder) aborts.
//
// The folder lives on /dev/shm when it can, so that the flushes cost little;
// VEILMARK_FUZZ_SCRATCH names another place. With VEILMARK_FUZZ_VERBOSE set,
// every run's log goes to standard error.
#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "anonymize/dataset_shape.h"
#include "anonymize/folder_run.h"
#include "anonymize/record_file.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dctag.h"
#include "dcmtk/oflog/oflog.h"

namespace {

const char kInputName[] = "IM0001.ima";
const char kRecordName[] = "anonymous_record.csv";

std::string g_scratch;   // made here, removed at exit
std::string g_folder;    // the folder the run works in
std::string g_work;      // the harness's own files
bool g_verbose = false;  // VEILMARK_FUZZ_VERBOSE: print every run log

// The toolkit is not built for coverage, so what it made of an input goes
// back to the fuzzer as extra counters: the load's result, each element's
// depth, tag, kind and length class, and how the run ended.
__attribute__((used, section("__libfuzzer_extra_counters")))
uint8_t g_features[1 << 16];

void Feature(uint64_t a, uint64_t b) {
  uint64_t h = (a + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 31) ^ b) * 0x94D049BB133111EBull;
  uint8_t& counter = g_features[(h ^ (h >> 29)) % sizeof g_features];
  if (counter < 255) ++counter;
}

int LengthClass(unsigned long length) {
  int bits = 0;
  while (length > 0 && bits < 40) {
    length >>= 1;
    ++bits;
  }
  return bits;
}

void AddFeatures(const std::string& path, const std::string& log) {
  DcmFileFormat file;
  OFCondition loaded = file.loadFile(path.c_str());
  Feature(1, (uint64_t{loaded.module()} << 16) | loaded.code());
  if (loaded.good()) {
    for (const ShapeEntry& entry : ShapeOf(file.getDataset())) {
      // Tags the dictionary does not know count as one of a few kinds, so
      // that random tags do not each count as new.
      uint64_t tag = (uint64_t{entry.group} << 16) | entry.element;
      if (DcmTag(entry.group, entry.element).getTagName() ==
          std::string(DcmTag_ERROR_TagName)) {
        tag = 0x100000000ull | (entry.group & 1) << 2 |
              (entry.group == 0x0002) << 1 | (entry.element == 0);
      }
      uint64_t depth = static_cast<uint64_t>(std::min(entry.depth, 7));
      Feature(2, (depth << 40) | (uint64_t(entry.kind) << 33) | tag);
      Feature(3, (uint64_t(entry.kind) << 8) | LengthClass(entry.size));
    }
  }
  // The run's error lines, each up to its first ':'.
  for (size_t at = log.find("ERROR:"); at != std::string::npos;
       at = log.find("ERROR:", at + 6)) {
    size_t end = log.find(':', at + 6);
    Feature(4, std::hash<std::string>()(log.substr(at, end - at)));
  }
}

// The run's log as the dialog shows it.
struct CapturedLog : RunLog {
  void Add(const LogLine& line) override {
    text += (line.error ? "ERROR:" : "") + line.message.str() + "\r\n";
  }
  std::string text;
};

[[noreturn]] void Broken(const std::string& what, const std::string& log) {
  fprintf(stderr, "\nPROMISE BROKEN: %s\nrun log:\n%s\n", what.c_str(),
          log.c_str());
  abort();
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)),
                     std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data),
            static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// The record's rows after its header; false when it does not parse as CSV
// lines ending in CR LF, with fields optionally in double quotes.
bool ParseRecordLines(const std::string& text,
                      std::vector<std::vector<std::string>>* rows) {
  std::vector<std::string> row;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\r' &&
             text[i] != '\n' && text[i] != '"') {
        field += text[i++];
      }
    }
    if (i < text.size() && text[i] == ',') {
      row.push_back(field);
      field.clear();
      ++i;
    } else if (text.compare(i, 2, "\r\n") == 0) {
      row.push_back(field);
      field.clear();
      rows->push_back(row);
      row.clear();
      i += 2;
    } else {
      return false;
    }
  }
  return row.empty() && field.empty();
}

// The dataset of the file at `path` without its patient name, written anew
// in the file's own transfer syntax; false when it does not load or write.
bool DatasetWithoutPatientName(const std::string& path, std::string* bytes) {
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return false;
  DcmDataset* dataset = file.getDataset();
  delete dataset->remove(DCM_PatientName);
  std::string out = g_work + "/dataset";
  if (dataset
          ->saveFile(out.c_str(), dataset->getOriginalXfer(),
                     EET_ExplicitLength, EGL_withoutGL)
          .bad()) {
    return false;
  }
  *bytes = ReadBytes(out);
  ::unlink(out.c_str());
  return true;
}

// The whole patient name of the file at `path`; `normalize` drops the
// padding.
bool StoredPatientName(const std::string& path, bool normalize,
                       std::string* name) {
  DcmFileFormat file;
  OFString value;
  if (file.loadFile(path.c_str()).bad() ||
      file.getDataset()
          ->findAndGetOFStringArray(DCM_PatientName, value,
                                    normalize ? OFTrue : OFFalse)
          .bad()) {
    return false;
  }
  *name = std::string(value.c_str(), value.length());
  return true;
}

void CheckKept(const std::string& input, const std::string& header,
               const std::string& log, int errorLines) {
  std::vector<std::string> names = Names(g_folder);
  if (names != std::vector<std::string>{kInputName, kRecordName}) {
    Broken(
        "the file failed, but the folder holds more or less than the "
        "input and the record",
        log);
  }
  if (ReadBytes(g_folder + "/" + kInputName) != input) {
    Broken("the file failed, but the input was changed", log);
  }
  if (ReadBytes(g_folder + "/" + kRecordName) != header) {
    Broken("the file failed, but the record changed", log);
  }
  if (errorLines == 0) Broken("the file failed without an error line", log);
}

void CheckAnonymized(const std::string& header, const std::string& log) {
  std::vector<std::string> names = Names(g_folder);
  names.erase(std::remove(names.begin(), names.end(), kRecordName),
              names.end());
  if (names.size() != 1 || names[0] == kInputName) {
    Broken(
        "the file was anonymized, but the folder does not hold exactly "
        "one copy and no original",
        log);
  }
  const std::string copy = g_folder + "/" + names[0];
  if (!IsRegularFile(copy)) Broken("the copy is not a regular file", log);

  std::string record = ReadBytes(g_folder + "/" + kRecordName);
  std::vector<std::vector<std::string>> rows;
  if (record.compare(0, header.size(), header) != 0 ||
      !ParseRecordLines(record.substr(header.size()), &rows) ||
      rows.size() != 1 || rows[0].size() != 4) {
    Broken("the record does not hold exactly one line of four fields", log);
  }
  const std::vector<std::string>& line = rows[0];
  const std::string& anonymousName = line[3];
  if (line[0] != kInputName || line[1] != names[0] ||
      line[1] != anonymousName + ".ima" || anonymousName.size() < 6 ||
      anonymousName.compare(0, 4, "ANON") != 0) {
    Broken("the record line does not lead from the input to the copy", log);
  }
  // The way back: the input's patient name starts with the recorded one
  // (which ends at a zero byte), and so does the anonymous name, after
  // "ANON".
  const std::string& recordedName = line[2];
  std::string inputName;
  if (!StoredPatientName(g_work + "/input.ima", false, &inputName) ||
      inputName.compare(0, recordedName.size(), recordedName) != 0 ||
      (!recordedName.empty() && anonymousName[4] != recordedName[0])) {
    Broken("the record line does not hold the input's patient name", log);
  }
  std::string stored;
  if (!StoredPatientName(copy, true, &stored))
    Broken("the copy does not load", log);
  if (stored != anonymousName) {
    Broken("the copy holds the patient name \"" + stored + "\", not \"" +
               anonymousName + "\"",
           log);
  }
  std::string copied, original;
  if (!DatasetWithoutPatientName(copy, &copied) ||
      !DatasetWithoutPatientName(g_work + "/input.ima", &original)) {
    Broken("the copy or the input cannot be written anew", log);
  }
  if (copied != original) {
    Broken(
        "the copy's dataset differs from the input's beyond the patient "
        "name",
        log);
  }
}

void Clean(const std::string& folder) {
  for (const std::string& name : Names(folder)) {
    std::string path = folder + "/" + name;
    if (::unlink(path.c_str()) != 0) {
      fprintf(stderr, "cannot remove %s\n", path.c_str());
      abort();
    }
  }
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

void RemoveScratch() {
  if (!g_scratch.empty()) {
    nftw(g_scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The toolkit's warnings about broken inputs would fill the output.
  OFLog::configure(OFLogger::OFF_LOG_LEVEL);
  g_verbose = getenv("VEILMARK_FUZZ_VERBOSE") != nullptr;

  const char* base = getenv("VEILMARK_FUZZ_SCRATCH");
  if (!base) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/veilmark-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) {
    perror(pattern.c_str());
    abort();
  }
  g_scratch = pattern;
  atexit(RemoveScratch);
  g_folder = g_scratch + "/folder";
  g_work = g_scratch + "/work";
  if (::mkdir(g_folder.c_str(), 0700) != 0 ||
      ::mkdir(g_work.c_str(), 0700) != 0) {
    perror(g_scratch.c_str());
    abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Clean(g_folder);
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (!WriteBytes(g_folder + "/" + kInputName, data, size) ||
      !WriteBytes(g_work + "/input.ima", data, size)) {
    fprintf(stderr, "cannot write the input\n");
    abort();
  }

  // The record as a run finds it: made by an earlier run, with its header.
  const std::string header = kRecordHeader;
  WriteBytes(g_folder + "/" + kRecordName,
             reinterpret_cast<const uint8_t*>(header.data()), header.size());
  CapturedLog log;
  RunOptions options;
  options.jobs = 1;
  RunResult result = FolderRun(g_folder.c_str(), &log, options).Run();

  if (g_verbose) fprintf(stderr, "%s", log.text.c_str());
  AddFeatures(g_work + "/input.ima", log.text);
  if (Names(g_scratch) != std::vector<std::string>{"folder", "work"} ||
      Names(g_work) != std::vector<std::string>{"input.ima"}) {
    Broken("something was written outside the folder", log.text);
  }
  if (!result.started) Broken("the run did not start", log.text);
  if (result.modified == 1) {
    CheckAnonymized(header, log.text);
  } else {
    CheckKept(input, header, log.text, result.errorLines);
  }
  Clean(g_folder);
  return 0;
}
