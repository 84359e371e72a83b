#include "undo/earlier_undo.h"

#include <algorithm>
#include <map>

#include "key/listed_names.h"
#include "key/recorded_files.h"
#include "platform/system/durable_file.h"
#include "platform/system/large_stack.h"
#include "platform/system/path_separator.h"
#include "text/unicode_text.h"
#include "undo/undo_evidence.h"

bool FinishEarlierUndo(const CString& folder, CFile* record, bool dryRun,
                       const FolderKey* key, RecordContents* contents,
                       std::vector<LogLine>* lines, std::string* error) {
  const std::string evidence = EvidencePath(folder);
  if (!EntryExists(evidence)) return true;
  const std::string path = folder.str() + kPathSeparator;
  std::vector<SetAside> aside;
  for (const SetAside& line : ReadEvidence(folder)) {
    if (IsRegularFile(path + line.name)) aside.push_back(line);
  }
  // Lines are told apart as text: the undo wrote the names as the folder
  // held them.
  std::map<std::string, bool> back;  // by the line's text: its original is
  std::vector<std::string> gone;     // copies to delete
  ListedNames listed;
  listed.List(folder);
  auto finish = [&] {
    for (const SetAside& line : aside) {
      RecordEntry entry = line.entry;
      entry.oldFile = listed.Find(entry.oldFile.str());
      SourceFile original;
      if (!entry.oldFile.IsEmpty() &&
          IsOriginalOf(folder, entry, &original, path + line.name, key)) {
        back[CanonicalText(line.entry.Key())] = true;
        gone.push_back(line.name);
        continue;
      }
      // Its original is not there to stand for it: the copy is put back.
      const std::string copy = path + line.entry.newFile.str();
      CString message;
      if (dryRun ||
          PublishNoReplace(path + line.name, copy) == PublishResult::kDone) {
        message.Format(
            "Finishing earlier restore: kept %s, whose original "
            "is not back",
            static_cast<LPCTSTR>(line.entry.newFile));
        lines->push_back({false, message});
      } else {
        message.Format("Couldn't finish earlier restore: %s",
                       (path + line.name).c_str());
        lines->push_back({true, message});
      }
    }
  };
  // Loading runs DCMTK, which needs a deep stack for deep files.
  LargeStackThread thread;
  if (!aside.empty() && !thread.Start(finish, error)) return false;
  thread.Join();
  std::vector<RecordEntry>& entries = contents->entries;
  std::vector<bool> drop(entries.size(), false);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].Usable() || !back.count(CanonicalText(entries[k].Key()))) {
      continue;
    }
    drop[k] = true;
    CString message;
    message.Format("Finishing earlier restore: %s is back",
                   static_cast<LPCTSTR>(entries[k].oldFile));
    lines->push_back({false, message});
  }
  if (dryRun) {
    std::vector<RecordEntry> kept;
    for (size_t k = 0; k < entries.size(); ++k) {
      if (!drop[k]) kept.push_back(entries[k]);
    }
    entries.swap(kept);
    return true;
  }
  if (std::find(drop.begin(), drop.end(), true) != drop.end()) {
    std::string text;
    if (!RewriteRecord(folder, record, entries, drop, error) ||
        !ReadRecordText(*record, &text, error)) {
      return false;
    }
    ParseRecordText(text, &entries, &contents->format);
    contents->length = text.size();
  }
  for (const std::string& name : gone) RemoveFile(path + name);
  RemoveFile(evidence);
  return true;
}
