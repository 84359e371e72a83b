// The record file, anonymous_record.csv: one line per anonymized file with
// the old and new file names and the old and new patient names, so that the
// way back to every original is kept.
#ifndef VEILMARK_ANONYMIZE_RECORD_FILE_H_
#define VEILMARK_ANONYMIZE_RECORD_FILE_H_

#include <string>

#include "platform/cfile.h"
#include "platform/cstring.h"

extern const char kRecordHeader[];

// Opens the record at `path`, creating it when missing and keeping what
// earlier runs wrote; later lines follow its last line. A new or empty
// record gets the header. False when the file cannot be opened (`openFailed`
// set) or prepared (the reason in `error`).
bool OpenRecordFile(CFile* record, LPCTSTR path, bool* openFailed,
                    std::string* error);

// Appends one line and forces it to the disk. On failure nothing of the line
// stays in the file and `error` holds the reason.
bool WriteRecordLine(CFile* record, const CString& originalFileName,
                     const CString& anonymousFileName,
                     const CString& originalPatientName,
                     const CString& anonymousPatientName, std::string* error);

bool CloseRecordFile(CFile* record, std::string* error);

// A field as it is written: byte for byte, or in double quotes with its
// quotes doubled when it holds a comma, a double quote, CR or LF.
CString RecordField(const CString& value);

#endif  // VEILMARK_ANONYMIZE_RECORD_FILE_H_
