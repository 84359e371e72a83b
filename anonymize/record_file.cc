#include "anonymize/record_file.h"

#include <cerrno>
#include <cstring>

#include "platform/durable_file.h"

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
    *error = e.GetErrorMessage().str();
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
  std::string ignored;
  record->SetLength(*start, &ignored);
  return false;
}

// Splits `text` into lines of fields as RecordField writes them; a line
// ends at CR LF, or a lone LF, outside double quotes. True when `text` ends
// inside double quotes.
bool ParseEntries(const std::string& text, std::vector<RecordEntry>* entries) {
  std::vector<std::string> fields(1);
  bool quoted = false, header = true;
  std::uint64_t begin = 0;
  auto endLine = [&](size_t next) {
    if (!header) {
      RecordEntry entry;
      entry.begin = begin;
      entry.parsed = fields.size() == 4;
      if (entry.parsed) {
        entry.oldFile = fields[0];
        entry.newFile = fields[1];
        entry.oldName = fields[2];
        entry.newName = fields[3];
      }
      entries->push_back(entry);
    }
    header = false;
    fields.assign(1, std::string());
    begin = next;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
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
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      endLine(++i + 1);
    } else if (c == '\n') {
      endLine(i + 1);
    } else {
      fields.back() += c;
    }
  }
  if (begin < text.size()) endLine(text.size());
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

}  // namespace

bool ReadRecordEntries(const CFile& record, std::vector<RecordEntry>* entries,
                       std::string* error) {
  std::string text;
  entries->clear();
  if (!ReadAll(record, &text, error)) return false;
  ParseEntries(text, entries);
  return true;
}

RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, std::string* error) {
  if (!record->Open(path, CFile::modeCreate | CFile::modeNoTruncate |
                              CFile::modeReadWrite)) {
    return RecordOpen::kOpenFailed;
  }
  const bool busy = record->Lock() == CFile::kBusy;
  std::uint64_t length = 0;
  const bool ready =
      !busy && record->SeekToEnd(&length, error) &&
      (length == 0
           ? Append(record, kRecordHeader, &length, error)
           // A line cut short (by a crash of some other
           // writer) stays on a line of its own.
           : EndsWithLineBreak(record, length) || EndCutLine(record, error));
  if (ready) return RecordOpen::kOpened;
  std::string ignored;
  CloseRecordFile(record, &ignored);
  return busy ? RecordOpen::kBusy : RecordOpen::kFailed;
}

RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder) {
  if (!EntryExists(path)) {
    return CanCreateFilesIn(folder) ? RecordOpen::kOpened
                                    : RecordOpen::kOpenFailed;
  }
  CFile record;
  if (!record.Open(path, CFile::modeReadWrite)) return RecordOpen::kOpenFailed;
  const bool busy = record.Lock() == CFile::kBusy;
  std::string ignored;
  CloseRecordFile(&record, &ignored);
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
    *error = e.GetErrorMessage().str();
    return false;
  }
  return true;
}
