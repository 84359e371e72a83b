// veilmark-cli: the folder run of the Veilmark dialog, without the window.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "anonymize/folder_run.h"
#include "platform/system/command_line.h"
#include "platform/system/console_output.h"
#include "platform/system/stop_signals.h"
#include "veilmark_version.h"

namespace {

const char kUsage[] =
    "usage: veilmark-cli [--jobs N] [--dry-run] [--restore] [--profile basic\n"
    "                    [--retain-...]...] [--] FOLDER...\n"
    "\n"
    "Anonymizes every *.ima DICOM file in each FOLDER, as the Veilmark dialog\n"
    "does when FOLDER is typed into its folder box and \"Anonymize\" is\n"
    "pressed: each file's patient name is replaced by an anonymous name made\n"
    "of the name and the study date, the dataset is written anew under a file\n"
    "named after it, the original is deleted, and anonymous_record.csv in\n"
    "FOLDER maps old to new. The folders are run one after the other, each\n"
    "with its own log lines and closing line; the log goes to standard\n"
    "output, what DCMTK says of a file to standard error. A run first\n"
    "finishes what an interrupted run left in its folder, and leaves alone\n"
    "the copies earlier runs recorded: run a folder again when new images\n"
    "arrive.\n"
    "Each copy keeps its original's owner, group, permissions and ACL as far\n"
    "as allowed. A FOLDER of one character (.) means its absolute path.\n"
    "\n"
    "The record holds the real names: a new one is readable by its owner\n"
    "only, an existing one keeps its mode. Share it on purpose with\n"
    "chmod g+r FOLDER/anonymous_record.csv.\n"
    "\n"
    "Veilmark replaces the patient's name and nothing else: the patient ID,\n"
    "birth date and every other identifying element stay in the files, and\n"
    "the new name shows the old name's first and last character and the\n"
    "study date; unless --profile basic is given.\n"
    "\n"
    "Ctrl-C (SIGINT), SIGTERM or SIGHUP stops at a safe point: no new file is\n"
    "taken up, the files under way are put in place, no further folder is\n"
    "started; a second signal ends the program at once, and the next run\n"
    "finishes what it left.\n"
    "\n"
    "Exit status, the highest of the folders': 0 when no file failed, 1 when\n"
    "some file failed, 2 when a run could not start (FOLDER missing, not\n"
    "listable or in use by another run included); 128 + the signal's number\n"
    "after a stop.\n"
    "\n"
    "  --jobs N   prepare N files at once (default: one per processor);\n"
    "             1 takes one file after the other. The log, the record and\n"
    "             the new names are the same for any N.\n"
    "  --dry-run  go through FOLDER as a run would and change nothing: print\n"
    "             the run's log with \"  -> NEWNAME\" after each file it\n"
    "             would anonymize; the exit status is the run's. Only a\n"
    "             failure to write (a full disk, say) can make the run "
    "differ.\n"
    "  --restore  undo the runs FOLDER's record tells of, from its last\n"
    "             line to its first: each anonymized file is written anew\n"
    "             with its original patient name under its original file\n"
    "             name and then deleted, and its line leaves the record.\n"
    "             What cannot be undone is kept and said. The record is the\n"
    "             only key: whoever holds it can undo the anonymization, and\n"
    "             without it nobody can. Closes with \"Done. N file(s)\n"
    "             restored.\"\n"
    "  --profile basic\n"
    "             de-identify to the DICOM Basic Application Level\n"
    "             Confidentiality Profile: every identifying element the\n"
    "             standard lists removed, emptied, given a dummy value or\n"
    "             a new UID, private elements removed, the patient's name\n"
    "             and ID a pseudonym that tells nothing of the patient. What\n"
    "             the undo needs is kept in FOLDER/anonymous_record.keys,\n"
    "             beside the record: keep both back. Text in the pixels\n"
    "             stays; the log names the files that may show some.\n"
    "  --retain-uids, --retain-device-identity,\n"
    "  --retain-institution-identity, --retain-patient-characteristics,\n"
    "  --retain-full-dates, --retain-modified-dates\n"
    "             the profile's options that keep what they name (modified\n"
    "             dates: each patient's moved back by days of their own).\n"
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
    WriteOutput(Output::kStandard, text);
  }
  void Toolkit(const CString& line) override {
    WriteOutput(Output::kError, line.str() + "\n");
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
  WriteOutput(Output::kError, kUsage);
  return 2;
}

// A folder named by one character is taken as its absolute path: the
// dialog's rule refuses a folder box of fewer than two.
std::string FolderOf(const char* argument) {
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (std::strlen(argument) != 1 || error) return argument;
  return std::strcmp(argument, ".") == 0
             ? here.u8string()
             : (here / std::filesystem::u8path(argument)).u8string();
}

// The run under way, for the signal that stops it.
std::mutex runMutex;
FolderRun* currentRun = nullptr;
StopSignals* signals = nullptr;

int RunFolder(const std::string& folder, const RunOptions& options) {
  PrintedLog log;
  FolderRun run(folder.c_str(), &log, options);
  {
    std::lock_guard<std::mutex> lock(runMutex);
    currentRun = &run;
    if (signals->Received()) run.Stop();
  }
  RunResult result = run.Run();
  {
    std::lock_guard<std::mutex> lock(runMutex);
    currentRun = nullptr;
  }
  if (!result.started) return 2;
  return result.errorLines > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = CommandLineArguments(argc, argv);
  RunOptions options;
  std::vector<std::string> folders;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const char* arg = args[i].c_str();
    const bool option = !optionsEnded && std::strncmp(arg, "--", 2) == 0;
    if (option && !folders.empty()) return Usage();
    if (!option) {
      folders.push_back(FolderOf(arg));
    } else if (std::strcmp(arg, "--help") == 0 && args.size() == 2) {
      WriteOutput(Output::kStandard, kUsage);
      return 0;
    } else if (std::strcmp(arg, "--version") == 0 && args.size() == 2) {
      WriteOutput(Output::kStandard, "veilmark-cli " VEILMARK_VERSION "\n");
      return 0;
    } else if (std::strcmp(arg, "--jobs") == 0) {
      if (++i == args.size() || !ParseJobs(args[i].c_str(), &options.jobs)) {
        return Usage();
      }
    } else if (std::strcmp(arg, "--dry-run") == 0) {
      options.dryRun = true;
    } else if (std::strcmp(arg, "--restore") == 0) {
      options.restore = true;
    } else if (std::strcmp(arg, "--profile") == 0) {
      if (++i == args.size() || args[i] != "basic") return Usage();
      options.profile.basic = true;
    } else if (std::strncmp(arg, "--retain-", 9) == 0) {
      // The options, by the words a folder keeps them in.
      ProfileOptions one;
      if (!one.ParseWords(arg + 2) || one.basic) return Usage();
      ProfileOptions both;
      both.ParseWords(options.profile.Words() + " " + (arg + 2));
      options.profile = both;
    } else if (std::strcmp(arg, "--") == 0) {
      // Ends the options, for folders whose names start with a dash.
      optionsEnded = true;
    } else {
      return Usage();
    }
  }
  const ProfileOptions& profile = options.profile;
  if (folders.empty() || (!profile.basic && !profile.Options().empty()) ||
      (profile.basic && options.restore) ||
      (profile.retainFullDates && profile.retainModifiedDates)) {
    return Usage();
  }

  // Made before any thread, and never destroyed: its watcher outlives main.
  signals = new StopSignals([](int) {
    std::lock_guard<std::mutex> lock(runMutex);
    if (currentRun) currentRun->Stop();
  });
  int status = 0;
  for (const std::string& folder : folders) {
    status = std::max(status, RunFolder(folder, options));
    if (signals->Received()) return 128 + signals->Received();
  }
  return status;
}
