// The record file, anonymous_record.csv: one line per anonymized file with
// the old and new file names and the old and new patient names, so that the
// way back to every original is kept. Whoever holds it open holds the
// folder: one run at a time.
#ifndef VEILMARK_KEY_RECORD_FILE_H_
#define VEILMARK_KEY_RECORD_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

extern const char kRecordHeader[];

enum class RecordOpen { kOpened, kOpenFailed, kBusy, kFailed };
// Opens the record at `path`, creating it when missing and keeping what
// earlier runs wrote, and locks it for as long as it stays open. A new or
// empty record gets the header; later lines follow its last line.
// kOpenFailed: it cannot be opened; kBusy: another run holds it; kFailed:
// it cannot be prepared, the reason in `error`.
RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, std::string* error);

// What OpenRecordFile would give, found without creating, changing or
// keeping a lock on anything: kOpened, kOpenFailed or kBusy. `folder` is
// where the record would be created.
RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder);

// Opens the record at `path`, which must exist, and locks it as
// OpenRecordFile does, without writing anything. kOpenFailed when there is
// none.
RecordOpen OpenExistingRecord(CFile* record, LPCTSTR path);

// One line of the record: the four fields, then CR LF. The original
// patient name goes in up to its first zero byte.
std::string RecordLine(const CString& originalFileName,
                       const CString& anonymousFileName,
                       const CString& originalPatientName,
                       const CString& anonymousPatientName);

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

// One line of the record after its header.
struct RecordEntry {
  std::uint64_t begin = 0;   // where it starts in the file
  std::uint64_t end = 0;     // where the next starts
  int line = 0;              // the line it starts on, counted from 1
  bool parsed = false;       // it holds the four fields
  bool strayReturn = false;  // it holds a CR without LF outside quotes
  CString oldFile, newFile, oldName, newName;

  // It parsed, and both its file names are plain ".ima" names of the
  // folder itself: what a record says is input like any other.
  bool Usable() const;
  // Both parsed, and hold the same four fields.
  bool SameLine(const RecordEntry& other) const;
};

// The lines of a record's text, in order: every line but blank ones and
// those that are the header, wherever it stands.
void ParseRecordText(const std::string& text,
                     std::vector<RecordEntry>* entries);

// The lines of the open record, as ParseRecordText gives them; false with
// the reason in `error` when it cannot be read.
bool ReadRecordEntries(const CFile& record, std::vector<RecordEntry>* entries,
                       std::string* error);

// Writes the record anew without the lines of `entries` (as read from it)
// that `drop` marks: into a new file of `folder` with the record's access,
// forced to the disk and locked, then renamed over the record, and the
// folder forced to the disk; `record` then holds the new file and its
// lock. False with the reason in `error`, the record as it was.
bool RewriteRecord(const CString& folder, CFile* record,
                   const std::vector<RecordEntry>& entries,
                   const std::vector<bool>& drop, std::string* error);

// A field as it is written: byte for byte, or in double quotes with its
// quotes doubled when it holds a comma, a double quote, CR or LF.
CString RecordField(const CString& value);

#endif  // VEILMARK_KEY_RECORD_FILE_H_
