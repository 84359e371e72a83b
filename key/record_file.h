// The record file, anonymous_record.csv: one line per anonymized file with
// the old and new file names and the old and new patient names, so that the
// way back to every original is kept. Whoever holds it open holds the
// folder: one run at a time.
#ifndef VEILMARK_KEY_RECORD_FILE_H_
#define VEILMARK_KEY_RECORD_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "key/record_text.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

// What a record holds, as read when it was opened.
struct RecordContents {
  std::vector<RecordEntry> entries;
  RecordFormat format;
  std::uint64_t length = 0;  // its length once opened
  // The line a crash cut short at the record's end, taken off (a dry run:
  // would be), or 0.
  int cutLine = 0;
};

enum class RecordOpen { kOpened, kOpenFailed, kBusy, kUnreadable, kFailed };

// Opens the record at `path` for a run, creating it when missing and
// keeping what earlier runs wrote, reads it into `contents` and locks it
// for as long as it stays open. A new or empty record gets the header;
// later lines follow its last line, and a last line that a crash cut short
// (no line break, too few fields) is taken off. kOpenFailed: it cannot be
// opened; kBusy: another run holds it; kUnreadable: reading it failed;
// kFailed: it cannot be prepared; the reason in `error`.
RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, RecordContents* contents,
                          std::string* error);

// What OpenRecordFile would give, found without creating, changing or
// keeping a lock on anything: kOpened, kOpenFailed, kBusy or kUnreadable
// (the reason in `error`), with the record's contents as OpenRecordFile
// would leave them. `folder` is where the record would be created.
RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder,
                           RecordContents* contents, std::string* error);

// Opens the record at `path`, which must exist, and locks it as
// OpenRecordFile does, without writing anything, and reads it. kOpenFailed
// when there is none, kUnreadable when reading it failed.
RecordOpen OpenExistingRecord(CFile* record, LPCTSTR path,
                              RecordContents* contents, std::string* error);

// The first line of `entries` that a run cannot rely on, or null.
const RecordEntry* FirstUnreadable(const std::vector<RecordEntry>& entries);
// "Couldn't read line N of anonymous_record.csv", with why when known.
CString UnreadableLine(const RecordEntry& entry);

// Appends `lines` and forces them to the disk; `start` gets the offset they
// start at. On failure nothing of them stays in the file and `error` holds
// the reason.
bool AppendRecordLines(CFile* record, const std::string& lines,
                       std::uint64_t* start, std::string* error);

// Cuts the record back to its first `length` bytes, on disk.
bool CutRecord(CFile* record, std::uint64_t length,
               std::string* error = nullptr);

// Closes the record; false, with the reason in `error` when one is given,
// when what was written may be lost.
bool CloseRecordFile(CFile* record, std::string* error = nullptr);

// The whole text of the open record.
bool ReadRecordText(const CFile& record, std::string* text, std::string* error);

// Whether `path` still names the file `record` holds, `length` bytes long:
// no other program replaced it or wrote to it since.
bool RecordUnchanged(const CFile& record, LPCTSTR path, std::uint64_t length);

// Writes the record anew without the lines of `entries` (as read from it)
// that `drop` marks: into a new file of `folder` with the record's access,
// forced to the disk and locked, then renamed over the record, and the
// folder forced to the disk; `record` then holds the new file and its
// lock. False with the reason in `error`, the record as it was.
bool RewriteRecord(const CString& folder, CFile* record,
                   const std::vector<RecordEntry>& entries,
                   const std::vector<bool>& drop, std::string* error);

#endif  // VEILMARK_KEY_RECORD_FILE_H_
