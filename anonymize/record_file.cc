#include "anonymize/record_file.h"

#include <cstring>

const char kRecordHeader[] =
    "Original Filename,Anonymous Filename,Original Patient Name,"
    "Anonymous Patient Name\r\n";

namespace {

void WriteText(CFile* record, const CString& text) {
  record->Write(static_cast<LPCTSTR>(text), text.GetLength());
}

// True when the file's last byte ends a line.
bool EndsWithLineBreak(CFile* record, std::uint64_t length) {
  char last = 0;
  return record->ReadAt(length - 1, &last, 1) == 1 && last == '\n';
}

}  // namespace

bool OpenRecordFile(CFile* record, LPCTSTR path, bool* openFailed,
                    std::string* error) {
  *openFailed = false;
  if (!record->Open(
          path,
          CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite,
          nullptr)) {
    *openFailed = true;
    return false;
  }
  std::uint64_t length = 0;
  try {
    length = record->SeekToEnd();
    if (length == 0) {
      CString header;
      header.Format("%s", kRecordHeader);
      WriteText(record, header);
      record->Flush();
    } else if (!EndsWithLineBreak(record, length)) {
      // A line cut short (by a crash of some other writer) stays on a line
      // of its own.
      WriteText(record, "\r\n");
    }
  } catch (const CFileException& e) {
    *error = e.GetErrorMessage().str();
    try {
      if (length == 0) record->SetLength(0);  // no header cut short
      record->Close();
    } catch (const CFileException&) {
    }
    return false;
  }
  return true;
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

bool WriteRecordLine(CFile* record, const CString& originalFileName,
                     const CString& anonymousFileName,
                     const CString& originalPatientName,
                     const CString& anonymousPatientName, std::string* error) {
  // The original patient name goes in up to its first zero byte.
  CString patientName(static_cast<LPCTSTR>(originalPatientName));
  std::uint64_t start = 0;
  try {
    start = record->SeekToEnd();
    WriteText(record, RecordField(originalFileName));
    record->Write(",", 1);
    WriteText(record, RecordField(anonymousFileName));
    record->Write(",", 1);
    WriteText(record, RecordField(patientName));
    record->Write(",", 1);
    WriteText(record, RecordField(anonymousPatientName));
    record->Write("\r\n", 2);
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
