// The names of a folder's entries as the system lists them: what the
// directory search (find_file.h) then matches and sorts, the same way on
// every system.
#ifndef VEILMARK_PLATFORM_FOLDER_NAMES_H_
#define VEILMARK_PLATFORM_FOLDER_NAMES_H_

#include <string>
#include <vector>

#include "platform/find_file.h"

// The names in `folder`, each once, in the order the system gives them.
// False when it cannot be read: `error` is then ERROR_PATH_NOT_FOUND (no
// such folder), ERROR_ACCESS_DENIED or ERROR_READ_FAULT, and errno holds
// the system's reason.
bool ReadFolderNames(const std::string& folder, std::vector<std::string>* names,
                     DWORD* error);

#endif  // VEILMARK_PLATFORM_FOLDER_NAMES_H_
