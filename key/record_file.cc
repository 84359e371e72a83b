#include "key/record_file.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "text/anonymous_name.h"

const char kRecordHeader[] =
    "Original Filename,Anonymous Filename,Original Patient Name,"
    "Anonymous Patient Name\r\n";

namespace {

// True when the file's last byte ends a line.
bool EndsWithLineBreak(CFile* record, std::uint64_t length) {
  char last = 0;
  return record->ReadAt(length - 1, &last, 1) == 1 && last == '\n';
}

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

// Splits `text` into lines of fields as RecordField writes them; a line
// ends at CR LF, or a lone LF, outside double quotes. Header lines, wherever
// they stand (a record may have been sorted), and blank lines are no
// lines of the record. True when `text` ends inside double quotes.
bool ParseEntries(const std::string& text, std::vector<RecordEntry>* entries) {
  static const std::string header(kRecordHeader, sizeof kRecordHeader - 3);
  std::vector<std::string> fields(1);
  bool quoted = false, wasQuoted = false, strayReturn = false;
  std::uint64_t begin = 0;
  int line = 1, firstLine = 1;  // lines as an editor counts them
  auto endLine = [&](size_t next, size_t breakBytes) {
    const bool blank =
        fields.size() == 1 && fields[0].empty() && !wasQuoted && !strayReturn;
    const bool isHeader = next - breakBytes - begin == header.size() &&
                          text.compare(begin, header.size(), header) == 0;
    if (!blank && !isHeader) {
      RecordEntry entry;
      entry.begin = begin;
      entry.end = next;
      entry.line = firstLine;
      entry.strayReturn = strayReturn;
      entry.parsed = fields.size() == 4 && !strayReturn;
      if (entry.parsed) {
        entry.oldFile = fields[0];
        entry.newFile = fields[1];
        entry.oldName = fields[2];
        entry.newName = fields[3];
      }
      entries->push_back(entry);
    }
    fields.assign(1, std::string());
    wasQuoted = strayReturn = false;
    begin = next;
    firstLine = line;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        fields.back() += c;
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && fields.back().empty()) {
      quoted = wasQuoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++line;
      ++i;
      endLine(i + 1, 2);
    } else if (c == '\n') {
      endLine(i + 1, 1);
    } else if (c == '\r') {
      // Never written outside quotes: an editor's, or damage.
      strayReturn = true;
    } else {
      fields.back() += c;
    }
  }
  if (begin < text.size()) endLine(text.size(), 0);
  return quoted;
}

bool ReadAll(const CFile& record, std::string* text, std::string* error) {
  char piece[65536];
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

// Ends a last line that a crash cut short, so that the next line starts on
// a line of its own, its fields unquoted.
bool EndCutLine(CFile* record, std::string* error) {
  std::string text;
  std::vector<RecordEntry> entries;
  return ReadAll(*record, &text, error) &&
         Write(record, ParseEntries(text, &entries) ? "\"\r\n" : "\r\n", error);
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

}  // namespace

bool RecordEntry::Usable() const {
  auto plain = [](const CString& name) {
    const std::string& text = name.str();
    return IsEntryName(text) && text.size() >= 4 &&
           strcasecmp(text.c_str() + text.size() - 4, ".ima") == 0;
  };
  return parsed && plain(oldFile) && plain(newFile);
}

bool RecordEntry::SameLine(const RecordEntry& other) const {
  return parsed && other.parsed && oldFile.str() == other.oldFile.str() &&
         newFile.str() == other.newFile.str() &&
         oldName.str() == other.oldName.str() &&
         newName.str() == other.newName.str();
}

void ParseRecordText(const std::string& text,
                     std::vector<RecordEntry>* entries) {
  entries->clear();
  ParseEntries(text, entries);
}

bool ReadRecordEntries(const CFile& record, std::vector<RecordEntry>* entries,
                       std::string* error) {
  std::string text;
  if (!ReadAll(record, &text, error)) return false;
  ParseRecordText(text, entries);
  return true;
}

RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, std::string* error) {
  const RecordOpen opened = OpenLocked(
      record, path,
      CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
  if (opened != RecordOpen::kOpened) return opened;
  std::uint64_t length = 0;
  const bool ready =
      record->SeekToEnd(&length, error) &&
      (length == 0
           ? Append(record, kRecordHeader, &length, error)
           // A line cut short (by a crash of some other
           // writer) stays on a line of its own.
           : EndsWithLineBreak(record, length) || EndCutLine(record, error));
  if (ready) return RecordOpen::kOpened;
  CloseRecordFile(record);
  return RecordOpen::kFailed;
}

RecordOpen OpenExistingRecord(CFile* record, LPCTSTR path) {
  return OpenLocked(record, path, CFile::modeReadWrite);
}

bool RewriteRecord(const CString& folder, CFile* record,
                   const std::vector<RecordEntry>& entries,
                   const std::vector<bool>& drop, std::string* error) {
  std::string text, kept;
  if (!ReadAll(*record, &text, error)) return false;
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

RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder) {
  if (!EntryExists(path)) {
    return CanCreateFilesIn(folder) ? RecordOpen::kOpened
                                    : RecordOpen::kOpenFailed;
  }
  CFile record;
  if (!record.Open(path, CFile::modeReadWrite)) return RecordOpen::kOpenFailed;
  const bool busy = record.Lock() == CFile::kBusy;
  CloseRecordFile(&record);
  return busy ? RecordOpen::kBusy : RecordOpen::kOpened;
}

CString RecordField(const CString& value) {
  if (value.str().find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value.str()) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return CString(quoted);
}

std::string RecordLine(const CString& originalFileName,
                       const CString& anonymousFileName,
                       const CString& originalPatientName,
                       const CString& anonymousPatientName) {
  CString patientName(static_cast<LPCTSTR>(originalPatientName));
  return RecordField(originalFileName).str() + "," +
         RecordField(anonymousFileName).str() + "," +
         RecordField(patientName).str() + "," +
         RecordField(anonymousPatientName).str() + "\r\n";
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
