#include "key/record_file.h"

#include <cerrno>
#include <cstring>

#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"

namespace {

bool Write(CFile* record, const std::string& bytes, std::string* error) {
  try {
    record->Write(bytes.data(), static_cast<UINT>(bytes.size()));
  } catch (const CFileException& e) {
    if (error) *error = e.GetErrorMessage().str();
    return false;
  }
  return true;
}

// Writes `bytes` at the end and forces them to the disk; on failure nothing
// of them stays.
bool Append(CFile* record, const std::string& bytes, std::uint64_t* start,
            std::string* error) {
  if (!record->SeekToEnd(start, error)) return false;
  if (Write(record, bytes, error) && record->Flush(error)) return true;
  record->SetLength(*start);
  return false;
}

// Opens the record at `path` and locks it. An undo replaces the record by
// a new file: one that was replaced before it was locked is opened again,
// so that the lock held is on the file its name gives.
RecordOpen OpenLocked(CFile* record, LPCTSTR path, UINT flags) {
  for (int tries = 0; tries < 16; ++tries) {
    if (!record->Open(path, flags)) return RecordOpen::kOpenFailed;
    const bool busy = record->Lock() == CFile::kBusy;
    if (!busy && record->NamedBy(path)) return RecordOpen::kOpened;
    CloseRecordFile(record);
    if (busy) return RecordOpen::kBusy;
  }
  return RecordOpen::kBusy;
}

// Reads the open record into `contents`; for a run, also how its end must
// be mended: `ending` gets what a last line needs to end, or stays empty.
// A last line without a line break that does not parse was cut short by a
// crash while it was written: its copies never got their names (lines go
// to the disk before names are given), so it goes.
bool Read(const CFile& record, RecordContents* contents, std::string* ending,
          std::string* error) {
  std::string text;
  if (!ReadRecordText(record, &text, error)) return false;
  ParseRecordText(text, &contents->entries, &contents->format);
  contents->length = text.size();
  contents->cutLine = 0;
  ending->clear();
  if (text.empty() || text.back() == '\n') return true;
  if (!contents->entries.empty() && !contents->entries.back().parsed) {
    contents->cutLine = contents->entries.back().line;
    contents->length = contents->entries.back().begin;
    contents->entries.pop_back();
    return true;
  }
  bool quoted = false;
  SplitRows(text, contents->format.separator, &quoted);
  *ending = quoted ? "\"\r\n" : "\r\n";
  return true;
}

}  // namespace

bool ReadRecordText(const CFile& record, std::string* text,
                    std::string* error) {
  char piece[65536];
  text->clear();
  for (long got;
       (got = record.ReadAt(text->size(), piece, sizeof piece)) != 0;) {
    if (got < 0) {
      *error = strerror(errno);
      return false;
    }
    text->append(piece, static_cast<size_t>(got));
  }
  return true;
}

RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, RecordContents* contents,
                          std::string* error) {
  const RecordOpen opened = OpenLocked(
      record, path,
      CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
  if (opened != RecordOpen::kOpened) return opened;
  std::string ending;
  std::uint64_t at = 0;
  if (!Read(*record, contents, &ending, error)) {
    CloseRecordFile(record);
    return RecordOpen::kUnreadable;
  }
  bool ready = true;
  if (contents->length == 0) {
    ready = Append(record, kRecordHeader, &at, error);
    contents->length = std::strlen(kRecordHeader);
  } else if (contents->cutLine > 0) {
    ready = CutRecord(record, contents->length, error);
  } else if (!ending.empty()) {
    ready = Append(record, ending, &at, error);
    contents->length += ending.size();
  }
  if (ready) return RecordOpen::kOpened;
  CloseRecordFile(record);
  return RecordOpen::kFailed;
}

RecordOpen OpenExistingRecord(CFile* record, LPCTSTR path,
                              RecordContents* contents, std::string* error) {
  const RecordOpen opened = OpenLocked(record, path, CFile::modeReadWrite);
  if (opened != RecordOpen::kOpened) return opened;
  std::string text;
  if (!ReadRecordText(*record, &text, error)) {
    CloseRecordFile(record);
    return RecordOpen::kUnreadable;
  }
  ParseRecordText(text, &contents->entries, &contents->format);
  contents->length = text.size();
  return RecordOpen::kOpened;
}

RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder,
                           RecordContents* contents, std::string* error) {
  if (!EntryExists(path)) {
    return CanCreateFilesIn(folder) ? RecordOpen::kOpened
                                    : RecordOpen::kOpenFailed;
  }
  CFile record;
  if (!record.Open(path, CFile::modeReadWrite)) return RecordOpen::kOpenFailed;
  const bool busy = record.Lock() == CFile::kBusy;
  std::string ending;
  const bool read = !busy && Read(record, contents, &ending, error);
  CloseRecordFile(&record);
  return busy   ? RecordOpen::kBusy
         : read ? RecordOpen::kOpened
                : RecordOpen::kUnreadable;
}

const RecordEntry* FirstUnreadable(const std::vector<RecordEntry>& entries) {
  for (const RecordEntry& entry : entries) {
    if (!entry.Usable()) return &entry;
  }
  return nullptr;
}

CString UnreadableLine(const RecordEntry& entry) {
  CString message;
  message.Format(
      "Couldn't read line %d of anonymous_record.csv%s", entry.line,
      entry.strayReturn ? " (a carriage return without a line feed)" : "");
  return message;
}

bool RecordUnchanged(const CFile& record, LPCTSTR path, std::uint64_t length) {
  char beyond = 0;
  return record.NamedBy(path) &&
         (length == 0 || record.ReadAt(length - 1, &beyond, 1) == 1) &&
         record.ReadAt(length, &beyond, 1) == 0;
}

bool RewriteRecord(const CString& folder, CFile* record,
                   const std::vector<RecordEntry>& entries,
                   const std::vector<bool>& drop, std::string* error) {
  std::string text, kept;
  if (!ReadRecordText(*record, &text, error)) return false;
  std::uint64_t at = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!drop[i]) continue;
    kept.append(text, at, entries[i].begin - at);
    at = entries[i].end;
  }
  kept.append(text, at, std::string::npos);

  // The new file is locked before it takes the name, so that the folder is
  // never without a locked record.
  std::string temp;
  CFile fresh;
  FolderHandle folderHandle;
  const std::string path =
      folder.str() + kPathSeparator + "anonymous_record.csv";
  if (!WriteTempFile(folder.str(), kept.data(), kept.size(), record->Access(),
                     &temp, error)) {
    return false;
  }
  if (!SyncFile(temp, error) ||
      !fresh.Open(temp.c_str(), CFile::modeReadWrite) ||
      fresh.Lock() == CFile::kBusy ||
      // Written and flushed before: closing it loses nothing.
      !ReplaceFile(
          temp, path, [&] { CloseRecordFile(record); }, error)) {
    if (error->empty()) *error = "the new record could not be opened";
    RemoveFile(temp);
    return false;
  }
  // Renamed: the new record stands, on disk once the folder is.
  if (folderHandle.Open(folder.str(), error) != FolderHandle::kOpened ||
      !folderHandle.SyncEntries(error)) {
    *record = std::move(fresh);
    return false;
  }
  *record = std::move(fresh);
  return true;
}

bool AppendRecordLines(CFile* record, const std::string& lines,
                       std::uint64_t* start, std::string* error) {
  return Append(record, lines, start, error);
}

bool CutRecord(CFile* record, std::uint64_t length, std::string* error) {
  return record->SetLength(length, error) && record->Flush(error);
}

bool CloseRecordFile(CFile* record, std::string* error) {
  try {
    record->Close();
  } catch (const CFileException& e) {
    if (error) *error = e.GetErrorMessage().str();
    return false;
  }
  return true;
}
