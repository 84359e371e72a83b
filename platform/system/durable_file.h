// The steps that put a new file in place so that no crash or failure can
// leave a partial file under its final name, and no existing file is ever
// replaced. Each returns false with the reason in `error`, when one is
// given.
#ifndef VEILMARK_PLATFORM_SYSTEM_DURABLE_FILE_H_
#define VEILMARK_PLATFORM_SYSTEM_DURABLE_FILE_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/system/file_access.h"

// Creates a new, empty file in `folder` under a fresh name of the form
// ".veilmark-XXXXXX.tmp", readable and writable by its owner only, and
// returns its path in `path`.
bool CreateTempFile(const std::string& folder, std::string* path,
                    std::string* error = nullptr);

// Creates such a file holding the `size` bytes at `data`, then gives it
// `access` (GiveAccess).
bool WriteTempFile(const std::string& folder, const char* data, size_t size,
                   const FileAccess& access, std::string* path,
                   std::string* error = nullptr);

// Gives the file at `path`, which this process created, `access`.
bool GiveAccessAt(const std::string& path, const FileAccess& access,
                  std::string* error = nullptr);

// Removes the files of that form from `folder`: what a run that was killed
// left behind. Only for a caller that knows no other run uses the folder.
void RemoveLeftoverTempFiles(const std::string& folder);
// The names of such files in `folder`.
std::vector<std::string> LeftoverTempFiles(const std::string& folder);

// Forces the data of the file at `path` to the disk.
bool SyncFile(const std::string& path, std::string* error = nullptr);

// A folder held open for the length of a run.
class FolderHandle {
 public:
  FolderHandle() = default;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  ~FolderHandle();

  // kMissing: there is no folder at `path`; kFailed: it cannot be read, the
  // reason in `error`.
  enum OpenResult { kOpened, kMissing, kFailed };
  OpenResult Open(const std::string& path, std::string* error);
  // Forces the folder's entries (names created or removed) to the disk.
  bool SyncEntries(std::string* error = nullptr);
  // Forces the data of `files`, in the folder, to the disk. Here: everything
  // written to the folder's file system since the folder was opened, file
  // data and entries alike (syncfs, which reports any write-back failure
  // since then); on Windows, which has no such call, each of `files`.
  bool SyncFileSystem(const std::vector<std::string>& files,
                      std::string* error = nullptr);

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE
#else
  int fd_ = -1;
#endif
};

enum class PublishResult { kDone, kNameTaken, kFailed };
// Gives the file at `from` the name `to`, in one step, unless `to` already
// exists as anything at all (a dangling link included): then kNameTaken.
PublishResult PublishNoReplace(const std::string& from, const std::string& to,
                               std::string* error = nullptr);

// Gives the file at `from` the name `to` in one step, replacing the file
// `to` names, which the caller may hold open (its lock with it). Here the
// rename keeps it open: whoever opened the old file meanwhile finds that
// the name no longer gives it (CFile::NamedBy). Windows cannot replace a
// file that is open: `letGo` is called first, to close the caller's, and
// the rename fails while any other process has the old file open.
bool ReplaceFile(const std::string& from, const std::string& to,
                 const std::function<void()>& letGo, std::string* error);

// What PublishNoReplace to `path` would give as things are, found without
// changing anything: kDone when the name is free.
PublishResult ProbeName(const std::string& path);

// For a run that changes nothing: whether it could create files in
// `folder`, and whether `path` names anything (a dangling link included).
bool CanCreateFilesIn(const std::string& folder);
bool EntryExists(const std::string& path);
// Whether `path` names a regular file itself, not through a link.
bool IsRegularFile(const std::string& path);

// Whether `name` can only name an entry of a folder itself: not empty, not
// "." or "..", nothing that separates folders or ends a name.
bool IsEntryName(const std::string& name);

// Makes the folder `path`, open to its owner alone, unless it is there:
// true when it is, or now is, a folder itself (never through a link).
bool MakePrivateFolder(const std::string& path, std::string* error = nullptr);

// Whether `path` names a folder itself, not through a link.
bool IsFolder(const std::string& path);

// Removes `path`; quiet if it is already gone.
void RemoveFile(const std::string& path);

#endif  // VEILMARK_PLATFORM_SYSTEM_DURABLE_FILE_H_
