#include "undo/undo_evidence.h"

#include "platform/system/path_separator.h"

UndoEvidence::UndoEvidence(const CString& folder)
    : path_(folder.str() + kPathSeparator + "anonymous_record.undo") {}

void UndoEvidence::Read() {
  CFile file;
  std::string error;
  lines_.clear();
  if (file.Open(path_.c_str(), CFile::modeRead)) {
    ReadRecordEntries(file, &lines_, &error);
  }
}

bool UndoEvidence::Holds(const RecordEntry& entry) const {
  for (const RecordEntry& line : lines_) {
    if (line.SameLine(entry)) return true;
  }
  return false;
}

bool UndoEvidence::Add(const std::vector<const RecordEntry*>& entries,
                       FolderHandle* folderHandle, std::string* error) {
  if (entries.empty()) return true;
  const bool created = !file_.IsOpen();
  if (created &&
      !file_.Open(path_.c_str(), CFile::modeCreate | CFile::modeNoTruncate |
                                     CFile::modeReadWrite)) {
    *error = "the file could not be created";
    return false;
  }
  std::string lines;
  for (const RecordEntry* entry : entries) {
    lines += RecordLine(entry->oldFile, entry->newFile, entry->oldName,
                        entry->newName);
  }
  std::uint64_t start = 0;
  return AppendRecordLines(&file_, lines, &start, error) &&
         (!created || folderHandle->SyncEntries(error));
}

void UndoEvidence::Remove() {
  CloseRecordFile(&file_);
  RemoveFile(path_);
}
