// The names of a folder's entries as the system lists them: what the
// directory search (platform/framework/find_file.h) then matches and sorts,
// the same way on every system.
#ifndef VEILMARK_PLATFORM_SYSTEM_FOLDER_NAMES_H_
#define VEILMARK_PLATFORM_SYSTEM_FOLDER_NAMES_H_

#include <string>
#include <vector>


enum class FolderRead { kRead, kMissing, kDenied, kFailed };

// The names in `folder`, each once, in the order the system gives them.
// Unless kRead, errno holds the system's reason: kMissing, no such folder;
// kDenied, no access; kFailed, it could not be read.
FolderRead ReadFolderNames(const std::string& folder,
                           std::vector<std::string>* names);

#endif  // VEILMARK_PLATFORM_SYSTEM_FOLDER_NAMES_H_
