// Whether the files of a folder are what the record's lines say of them:
// a copy still carrying its line's anonymous patient name, an original
// holding its copy's dataset. Files are known by what they hold, never by
// their names alone: scanners give every series the same file names.
#ifndef VEILMARK_KEY_RECORDED_FILES_H_
#define VEILMARK_KEY_RECORDED_FILES_H_

#include <string>
#include <vector>

#include "key/record_file.h"
#include "platform/framework/cstring.h"
#include "platform/system/source_file.h"
#include "profile/folder_key.h"

// True when `folder` holds, under `entry`'s old name, the dataset of its
// copy at `copyPath` (the entry's new name when empty), with the entry's
// old patient name, and the copy holds the entry's new one: the original
// and its anonymized copy, or the copy and the original put back. Leaves
// the original open in `original`. Call it on a large stack.
bool IsOriginalOf(const CString& folder, const RecordEntry& entry,
                  SourceFile* original, const std::string& copyPath = "",
                  const FolderKey* key = nullptr);

// True when the file at `path` is `entry`'s copy as the run that wrote the
// line left it: it still carries the line's anonymous patient name. Reads
// it only as far as that name. Call it on a large stack.
bool IsCopyOf(const std::string& path, const RecordEntry& entry);

// For each of `names`, the folder's "*.ima" entries, whether it is a copy
// that `entries`, the record's lines, tell of (its name the same text as
// theirs), still as its line says
// (IsCopyOf), each read as far as its patient name, `workers` at a time.
// False when they could not all be looked at (no thread to be had).
bool FindRecordedCopies(const CString& folder,
                        const std::vector<CString>& names,
                        const std::vector<RecordEntry>& entries, int workers,
                        std::vector<char>* copies);

#endif  // VEILMARK_KEY_RECORDED_FILES_H_
