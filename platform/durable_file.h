// The steps that put a new file in place so that no crash or failure can
// leave a partial file under its final name, and no existing file is ever
// replaced. Each returns false with the reason in `error`.
#ifndef VEILMARK_PLATFORM_DURABLE_FILE_H_
#define VEILMARK_PLATFORM_DURABLE_FILE_H_

#include <string>

// Creates a new, empty file in `folder` under a fresh name ending in ".tmp"
// and returns its path in `path`.
bool CreateTempFile(const std::string& folder, std::string* path,
                    std::string* error);

// Forces the data of the file at `path` to the disk.
bool SyncFile(const std::string& path, std::string* error);

// Forces the folder's entries (names created or removed) to the disk.
bool SyncFolder(const std::string& folder, std::string* error);

enum class PublishResult { kDone, kNameTaken, kFailed };
// Gives the file at `from` the name `to`, in one step, unless `to` already
// exists as anything at all (a dangling link included): then kNameTaken.
PublishResult PublishNoReplace(const std::string& from, const std::string& to,
                               std::string* error);

// Removes `path`; quiet if it is already gone.
void RemoveFile(const std::string& path);

#endif  // VEILMARK_PLATFORM_DURABLE_FILE_H_
