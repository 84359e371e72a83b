#include "undo/undo_evidence.h"

#include "key/record_file.h"
#include "platform/system/path_separator.h"

std::string EvidencePath(const CString& folder) {
  return folder.str() + kPathSeparator + "anonymous_record.undo";
}

UndoEvidence::UndoEvidence(const CString& folder)
    : folder_(folder.str()), path_(EvidencePath(folder)) {}

std::string UndoEvidence::NextName() {
  for (;;) {
    const std::string name =
        ".veilmark-undone-" + std::to_string(++next_) + ".undone";
    if (!EntryExists(folder_ + kPathSeparator + name)) return name;
  }
}

bool UndoEvidence::Add(const std::vector<SetAside>& lines,
                       FolderHandle* folderHandle, std::string* error) {
  if (lines.empty()) return true;
  const bool created = !file_.IsOpen();
  if (created &&
      !file_.Open(path_.c_str(), CFile::modeCreate | CFile::modeNoTruncate |
                                     CFile::modeReadWrite)) {
    *error = "the file could not be created";
    return false;
  }
  std::string text;
  for (const SetAside& line : lines) {
    const RecordEntry& entry = line.entry;
    text +=
        RecordField(line.name).str() + "," +
        RecordLine(entry.oldFile, entry.newFile, entry.oldName, entry.newName);
  }
  std::uint64_t start = 0;
  if (!AppendRecordLines(&file_, text, &start, error) ||
      (created && !folderHandle->SyncEntries(error))) {
    return false;
  }
  for (const SetAside& line : lines) aside_.push_back(line.name);
  return true;
}

void UndoEvidence::Remove() {
  for (const std::string& name : aside_) {
    RemoveFile(folder_ + kPathSeparator + name);
  }
  CloseRecordFile(&file_);
  RemoveFile(path_);
}

std::vector<SetAside> ReadEvidence(const CString& folder) {
  std::vector<SetAside> lines;
  CFile file;
  std::string text, error;
  if (!file.Open(EvidencePath(folder).c_str(), CFile::modeRead) ||
      !ReadRecordText(file, &text, &error)) {
    return lines;
  }
  for (const TextRow& row : SplitRows(text, ',')) {
    if (row.fields.size() != 5 || row.strayReturn) continue;
    SetAside line;
    line.name = row.fields[0];
    line.entry.parsed = true;
    line.entry.oldFile = row.fields[1];
    line.entry.newFile = row.fields[2];
    line.entry.oldName = row.fields[3];
    line.entry.newName = row.fields[4];
    // Only a name of the form this program gives, in the folder itself.
    if (line.entry.Usable() && IsEntryName(line.name) &&
        line.name.compare(0, 17, ".veilmark-undone-") == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}
