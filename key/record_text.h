// The text of the record, anonymous_record.csv: a header, then one line of
// four fields for each anonymized file, as this program writes it and as a
// spreadsheet or an editor may save it back: with a byte order mark, every
// field quoted, the columns in another order or with more of them, ';' or
// a tab between fields, CR CR LF at the ends of lines. Lines are read in
// the layout the header shows, wherever it stands (a record may have been
// sorted), and new lines are written in it.
#ifndef VEILMARK_KEY_RECORD_TEXT_H_
#define VEILMARK_KEY_RECORD_TEXT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/framework/cstring.h"

extern const char kRecordHeader[];

// How the record's lines are laid out: as this program writes them, unless
// a header says otherwise.
struct RecordFormat {
  char separator = ',';
  int columns = 4;              // fields in a line
  int field[4] = {0, 1, 2, 3};  // the column of each of the four fields
};

// One line of the record after its header.
struct RecordEntry {
  std::uint64_t begin = 0;   // where it starts in the text
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
  // The four fields, to tell lines apart by.
  std::string Key() const;
};

// A line of comma- (or otherwise) separated fields, as text holds it.
struct TextRow {
  std::uint64_t begin = 0, end = 0;  // its bytes, line break included
  int line = 0;                      // the line it starts on, from 1
  bool strayReturn = false;
  bool blank = false;  // nothing on it, not even quotes
  std::vector<std::string> fields;
};

// Splits `text` into rows of fields separated by `separator`: a field in
// double quotes holds what it likes, a quote doubled; a row ends at a line
// feed outside quotes, with the carriage returns before it. A byte order
// mark at the start is no part of the first field. `quoted`, when given,
// tells whether the text ends inside quotes.
std::vector<TextRow> SplitRows(const std::string& text, char separator,
                               bool* quoted = nullptr);

// The lines of a record's text, in order: every line but blank ones and
// headers. `format` gets the layout of the first header, if any.
void ParseRecordText(const std::string& text, std::vector<RecordEntry>* entries,
                     RecordFormat* format = nullptr);

// A field as it is written: byte for byte, or in double quotes with its
// quotes doubled when it holds the separator, a double quote, CR or LF.
CString RecordField(const CString& value, char separator = ',');

// One line of the record in `format`: the four fields in their columns,
// any others empty, then CR LF.
std::string RecordLine(const CString& originalFileName,
                       const CString& anonymousFileName,
                       const CString& originalPatientName,
                       const CString& anonymousPatientName,
                       const RecordFormat& format = RecordFormat());

#endif  // VEILMARK_KEY_RECORD_TEXT_H_
