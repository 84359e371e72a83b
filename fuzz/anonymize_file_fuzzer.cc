// libFuzzer target: each input is one .ima file, alone in a folder with a
// record that earlier runs left, over which a run goes. Afterwards the
// promise holds (tests/promise.h), and the folder holds either the input,
// byte for byte, with the record unchanged and an error line in the log, or
// one copy carrying the anonymous name with the record line leading back to
// it; nothing is left beside the folder. Anything else aborts.
//
// The folder lives on /dev/shm when it can, so that the flushes cost little;
// VEILMARK_FUZZ_SCRATCH names another place. With VEILMARK_FUZZ_VERBOSE set,
// every run's log goes to standard error.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/oflog/oflog.h"
#include "dicom/dataset_shape.h"
#include "key/record_file.h"
#include "tests/files.h"
#include "tests/promise.h"

namespace {

std::string g_scratch;  // made here, removed at exit
std::string g_folder;   // the folder the run works in

// DCMTK is not built for coverage, so what it made of an input goes back to
// the fuzzer as extra counters: the load's result, each element's depth,
// tag, kind and length class, and the run's error lines.
__attribute__((used, section("__libfuzzer_extra_counters")))
uint8_t g_features[1 << 16];

void Feature(uint64_t a, uint64_t b) {
  uint64_t h = (a + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 31) ^ b) * 0x94D049BB133111EBull;
  uint8_t& counter = g_features[(h ^ (h >> 29)) % sizeof g_features];
  if (counter < 255) ++counter;
}

void AddFeatures(const std::string& path, const std::string& log) {
  DcmFileFormat file;
  OFCondition loaded = file.loadFile(path.c_str());
  Feature(1, (uint64_t{loaded.module()} << 16) | loaded.code());
  if (loaded.good()) {
    for (const ShapeEntry& entry : ShapeOf(file.getDataset())) {
      uint64_t tag = (uint64_t{entry.group} << 16) | entry.element;
      uint64_t depth = static_cast<uint64_t>(std::min(entry.depth, 7));
      Feature(
          2, (depth << 40) | (uint64_t(entry.kind) << 33) | (tag & 0xFFFF0001));
      Feature(3, (uint64_t(entry.kind) << 8) |
                     (64 - __builtin_clzll(entry.size | 1)));
    }
  }
  for (size_t at = log.find("ERROR:"); at != std::string::npos;
       at = log.find("ERROR:", at + 6)) {
    Feature(4, std::hash<std::string>()(
                   log.substr(at, log.find(':', at + 6) - at)));
  }
}

void Check(bool held, const char* what, const std::string& log) {
  if (held) return;
  fprintf(stderr, "\nPROMISE BROKEN: %s\nrun log:\n%s\n", what, log.c_str());
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OFLog::configure(OFLogger::OFF_LOG_LEVEL);  // broken inputs are the rule
  const char* base = getenv("VEILMARK_FUZZ_SCRATCH");
  if (!base) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/veilmark-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) abort();
  g_scratch = pattern;
  atexit([] {
    std::error_code error;
    std::filesystem::remove_all(g_scratch, error);
  });
  g_folder = g_scratch + "/folder";
  if (::mkdir(g_folder.c_str(), 0700) != 0) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string path = g_folder + "/IM0001.ima";
  const std::string record = g_folder + "/anonymous_record.csv";
  WriteBytes(path, input);
  WriteBytes(record, kRecordHeader);
  Promise promise(g_folder);
  AddFeatures(path, "");

  RunOptions options;
  options.jobs = 1;
  const LoggedRun run = RunLogged(g_folder, options);
  const RunResult& result = run.result;
  const std::string& log = run.log;
  if (getenv("VEILMARK_FUZZ_VERBOSE")) fprintf(stderr, "%s", log.c_str());
  AddFeatures(path, log);

  Check(Names(g_scratch) == std::vector<std::string>{"folder"},
        "something was written beside the folder", log);
  std::string broken;
  for (const std::string& line : promise.Broken()) broken += " " + line;
  Check(broken.empty(), ("the promise:" + broken).c_str(), log);
  const std::vector<std::string> names = Names(g_folder);
  const Rows rows = RecordRows(ReadBytes(record));
  if (result.modified == 0) {
    Check(names == std::vector<std::string>{"IM0001.ima",
                                            "anonymous_record.csv"} &&
              ReadBytes(path) == input && rows.empty() && result.errorLines > 0,
          "a failed file is left as it was, with an error line", log);
  } else {
    Check(names.size() == 2 && names[1] == "anonymous_record.csv" &&
              rows.size() == 1 && rows[0].size() == 4 &&
              rows[0][0] == "IM0001.ima" && rows[0][1] == names[0] &&
              !rows[0][2].empty() &&
              rows[0][3].compare(4, 1, rows[0][2], 0, 1) == 0 &&
              StoredPatientName(g_folder + "/" + names[0]) == rows[0][3],
          "the copy carries the anonymous name its record line gives", log);
  }
  for (const std::string& name : names)
    ::unlink((g_folder + "/" + name).c_str());
  return 0;
}
