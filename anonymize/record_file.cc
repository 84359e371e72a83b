#include "anonymize/record_file.h"

#include <errno.h>

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

}  // namespace

RecordOpen OpenRecordFile(CFile* record, LPCTSTR path, std::string* error) {
  if (!record->Open(
          path,
          CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite,
          nullptr)) {
    return RecordOpen::kOpenFailed;
  }
  if (record->Lock() == CFile::kBusy) {
    record->Close();
    return RecordOpen::kBusy;
  }
  std::uint64_t length = 0;
  try {
    length = record->SeekToEnd();
    if (length == 0) {
      record->Write(kRecordHeader, std::strlen(kRecordHeader));
      record->Flush();
    } else if (!EndsWithLineBreak(record, length)) {
      // A line cut short (by a crash of some other writer) stays on a line
      // of its own.
      record->Write("\r\n", 2);
    }
  } catch (const CFileException& e) {
    *error = e.GetErrorMessage().str();
    try {
      if (length == 0) record->SetLength(0);  // no header cut short
      record->Close();
    } catch (const CFileException&) {
    }
    return RecordOpen::kFailed;
  }
  return RecordOpen::kOpened;
}

RecordOpen ProbeRecordFile(LPCTSTR path, LPCTSTR folder) {
  CFile record;
  if (!record.Open(path, CFile::modeReadWrite, nullptr)) {
    return GetLastError() == ENOENT && CanCreateFilesIn(folder)
               ? RecordOpen::kOpened
               : RecordOpen::kOpenFailed;
  }
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
  std::uint64_t start = 0;
  try {
    start = record->SeekToEnd();
    record->Write(lines.data(), static_cast<UINT>(lines.size()));
    record->Flush();
  } catch (const CFileException& e) {
    *error = e.GetErrorMessage().str();
    try {
      record->SetLength(start);
    } catch (const CFileException&) {
    }
    return false;
  }
  return true;
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
