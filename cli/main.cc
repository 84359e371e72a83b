// veilmark-cli: the folder run of the Veilmark dialog, without the window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "anonymize/folder_run.h"
#include "veilmark_version.h"

namespace {

const char kUsage[] =
    "usage: veilmark-cli [--jobs N] [--dry-run] [--] FOLDER\n"
    "\n"
    "Anonymizes every *.ima DICOM file in FOLDER, as the Veilmark dialog does\n"
    "when FOLDER is typed into its folder box and \"Anonymize\" is pressed:\n"
    "each file's patient name is replaced by an anonymous name made of the\n"
    "name and the study date, the dataset is written anew under a file named\n"
    "after it, the original is deleted, and anonymous_record.csv in FOLDER\n"
    "maps old to new. The run log goes to standard output. Each copy keeps\n"
    "its original's owner, group, permissions and ACL as far as allowed.\n"
    "\n"
    "The record holds the real names: a new one is readable by its owner\n"
    "only, an existing one keeps its mode. Share it on purpose with\n"
    "chmod g+r FOLDER/anonymous_record.csv.\n"
    "\n"
    "Veilmark replaces the patient's name and nothing else: the patient ID,\n"
    "birth date and every other identifying element stay in the files, and\n"
    "the new name shows the old name's first and last character and the\n"
    "study date.\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when some file failed, 2 when the\n"
    "run could not start (FOLDER not listable or in use by another run\n"
    "included).\n"
    "\n"
    "  --jobs N   prepare N files at once (default: one per processor);\n"
    "             1 takes one file after the other. The log, the record and\n"
    "             the new names are the same for any N.\n"
    "  --dry-run  go through FOLDER as a run would and change nothing: print\n"
    "             the run's log with \"  -> NEWNAME\" after each file it\n"
    "             would anonymize; the exit status is the run's. Only a\n"
    "             failure to write (a full disk, say) can make the run "
    "differ.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// Prints each line as it comes, with line feeds for line breaks.
class PrintedLog : public RunLog {
 public:
  void Add(const LogLine& line) override {
    std::string text = line.error ? "ERROR:" : "";
    const std::string& message = line.message.str();
    for (size_t i = 0; i < message.size(); ++i) {
      if (message.compare(i, 2, "\r\n") == 0) continue;
      text += message[i];
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
};

bool ParseJobs(const char* text, int* jobs) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 1024) return false;
  *jobs = static_cast<int>(value);
  return true;
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  RunOptions options;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (folder) return Usage();
    if (std::strcmp(arg, "--help") == 0 && argc == 2) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(arg, "--version") == 0 && argc == 2) {
      std::puts("veilmark-cli " VEILMARK_VERSION);
      return 0;
    }
    if (std::strcmp(arg, "--jobs") == 0) {
      if (++i == argc || !ParseJobs(argv[i], &options.jobs)) return Usage();
    } else if (std::strcmp(arg, "--dry-run") == 0) {
      options.dryRun = true;
    } else if (std::strcmp(arg, "--") == 0) {
      // Ends the options, for folders whose names start with a dash.
      if (++i != argc - 1) return Usage();
      folder = argv[i];
    } else if (std::strncmp(arg, "--", 2) == 0) {
      return Usage();
    } else {
      folder = arg;
    }
  }
  if (!folder) return Usage();

  PrintedLog log;
  RunResult result = FolderRun(folder, &log, options).Run();
  if (!result.started) return 2;
  return result.errorLines > 0 ? 1 : 0;
}
