#include "anonymize/record_file.h"

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
bool Append(CFile* record, const std::string& bytes, std::string* error) {
  std::uint64_t start = 0;
  if (!record->SeekToEnd(&start, error)) return false;
  if (Write(record, bytes, error) && record->Flush(error)) return true;
  std::string ignored;
  record->SetLength(start, &ignored);
  return false;
}

}  // namespace

RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, std::string* error) {
  if (!record->Open(path, CFile::modeCreate | CFile::modeNoTruncate |
                              CFile::modeReadWrite)) {
    return RecordOpen::kOpenFailed;
  }
  const bool busy = record->Lock() == CFile::kBusy;
  std::uint64_t length = 0;
  const bool ready = !busy && record->SeekToEnd(&length, error) &&
                     (length == 0 ? Append(record, kRecordHeader, error)
                                  // A line cut short (by a crash of some other
                                  // writer) stays on a line of its own.
                                  : EndsWithLineBreak(record, length) ||
                                        Write(record, "\r\n", error));
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
                       std::string* error) {
  return Append(record, lines, error);
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
