#include "key/record_text.h"

#include <strings.h>

#include "platform/system/durable_file.h"

const char kRecordHeader[] =
    "Original Filename,Anonymous Filename,Original Patient Name,"
    "Anonymous Patient Name\r\n";

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";
const char* const kFieldNames[4] = {"Original Filename", "Anonymous Filename",
                                    "Original Patient Name",
                                    "Anonymous Patient Name"};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether `row` is a header: the four fields' names among its columns, each
// once. `format` then gets its layout.
bool IsHeader(const TextRow& row, char separator, RecordFormat* format) {
  RecordFormat found;
  found.separator = separator;
  found.columns = static_cast<int>(row.fields.size());
  int seen = 0;
  for (int column = 0; column < found.columns; ++column) {
    const std::string name = Trimmed(row.fields[column]);
    for (int f = 0; f < 4; ++f) {
      if (name != kFieldNames[f]) continue;
      if (seen & (1 << f)) return false;
      seen |= 1 << f;
      found.field[f] = column;
    }
  }
  if (seen != 0xF || row.strayReturn) return false;
  if (format) *format = found;
  return true;
}

}  // namespace

std::vector<TextRow> SplitRows(const std::string& text, char separator,
                               bool* quoted) {
  std::vector<TextRow> rows;
  TextRow row;
  row.fields.assign(1, std::string());
  bool inQuotes = false, wasQuoted = false;
  int line = 1;
  size_t i = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  row.begin = i;
  row.line = 1;
  auto endRow = [&](size_t next) {
    row.end = next;
    row.blank = row.fields.size() == 1 && row.fields[0].empty() && !wasQuoted &&
                !row.strayReturn;
    rows.push_back(std::move(row));
    row = TextRow();
    row.fields.assign(1, std::string());
    row.begin = next;
    row.line = line;
    wasQuoted = false;
  };
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (inQuotes) {
      if (c != '"') {
        row.fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        row.fields.back() += c;
        ++i;
      } else {
        inQuotes = false;
      }
    } else if (c == '"' && row.fields.back().empty()) {
      inQuotes = wasQuoted = true;
    } else if (c == separator) {
      row.fields.emplace_back();
    } else if (c == '\n') {
      endRow(i + 1);
    } else if (c == '\r') {
      // Carriage returns end a line only before its line feed; one
      // elsewhere is never written outside quotes: an editor's, or damage.
      const size_t next = text.find_first_not_of('\r', i);
      if (next == std::string::npos || text[next] != '\n') {
        row.strayReturn = true;
      }
    } else {
      row.fields.back() += c;
    }
  }
  if (row.begin < text.size()) endRow(text.size());
  if (quoted) *quoted = inQuotes;
  return rows;
}

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

std::string RecordEntry::Key() const {
  return oldFile.str() + '\0' + newFile.str() + '\0' + oldName.str() + '\0' +
         newName.str();
}

void ParseRecordText(const std::string& text, std::vector<RecordEntry>* entries,
                     RecordFormat* format) {
  entries->clear();
  // The header tells the separator: this program's, or a spreadsheet's.
  RecordFormat layout;
  std::vector<TextRow> rows;
  bool headed = false;
  for (char separator : {',', ';', '\t'}) {
    rows = SplitRows(text, separator);
    for (const TextRow& row : rows) {
      if (IsHeader(row, separator, &layout)) {
        headed = true;
        break;
      }
    }
    if (headed) break;
  }
  if (!headed) rows = SplitRows(text, ',');
  int needed = 0;
  for (int f = 0; f < 4; ++f) needed = std::max(needed, layout.field[f] + 1);
  for (const TextRow& row : rows) {
    if (row.blank || IsHeader(row, layout.separator, nullptr)) continue;
    RecordEntry entry;
    entry.begin = row.begin;
    entry.end = row.end;
    entry.line = row.line;
    entry.strayReturn = row.strayReturn;
    const int count = static_cast<int>(row.fields.size());
    // A spreadsheet may leave out the empty columns at a line's end.
    entry.parsed =
        !row.strayReturn && count >= needed && count <= layout.columns;
    if (entry.parsed) {
      entry.oldFile = row.fields[layout.field[0]];
      entry.newFile = row.fields[layout.field[1]];
      entry.oldName = row.fields[layout.field[2]];
      entry.newName = row.fields[layout.field[3]];
    }
    entries->push_back(entry);
  }
  if (format) *format = layout;
}

CString RecordField(const CString& value, char separator) {
  const char special[] = {separator, '"', '\r', '\n', '\0'};
  if (value.str().find_first_of(special) == std::string::npos) return value;
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
                       const CString& anonymousPatientName,
                       const RecordFormat& format) {
  // The original patient name goes in up to its first zero byte.
  const CString values[4] = {originalFileName, anonymousFileName,
                             CString(static_cast<LPCTSTR>(originalPatientName)),
                             anonymousPatientName};
  std::vector<std::string> columns(static_cast<size_t>(format.columns));
  for (int f = 0; f < 4; ++f) {
    columns[static_cast<size_t>(format.field[f])] =
        RecordField(values[f], format.separator).str();
  }
  std::string line;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) line += format.separator;
    line += columns[c];
  }
  return line + "\r\n";
}
