// Who may do what with a file: its owner, group and permission bits, its
// POSIX ACL, and its extended attributes of the user namespace, which belong
// with its data (on Windows, its security descriptor and read-only
// attribute). A file written anew in place of another takes these over,
// so that it gives nobody more access than the file it stands for gave.
#ifndef VEILMARK_PLATFORM_SYSTEM_FILE_ACCESS_H_
#define VEILMARK_PLATFORM_SYSTEM_FILE_ACCESS_H_

#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32

// On Windows: the file's security descriptor, and its read-only attribute.
struct FileAccess {
  // Self-relative: owner, group and DACL, with the DACL's protection from
  // inheritance; empty when it could not be read.
  std::string descriptor;
  // FILE_ATTRIBUTE_READONLY: nobody may write to the file or delete it.
  bool readOnly = false;
};

#else

#include <sys/stat.h>

struct FileAccess {
  uid_t owner = 0;
  gid_t group = 0;
  // Permission bits; under an ACL, the group bits are its mask, and
  // `groupOwnBits` those of the owning group itself.
  mode_t mode = 0600;
  mode_t groupOwnBits = 0;
  std::string acl;  // system.posix_acl_access, empty for none
  std::vector<std::pair<std::string, std::string> > userAttributes;
};

// The access of the file open as `fd`, which `st` describes.
FileAccess ReadAccess(int fd, const struct stat& st);

// Gives the file open as `fd`, which this process created, `access`: as it
// is when the process may set the owner and group, otherwise the permission
// bits alone, limited by the umask, with the group's bits no more than the
// others' when the group differs and an ACL's group bits those of the
// group itself. What the process or the file system refuses is skipped.
void GiveAccess(int fd, const FileAccess& access);

// The umask every new file of this process gets.
mode_t ProcessUmask();

#endif  // _WIN32

#endif  // VEILMARK_PLATFORM_SYSTEM_FILE_ACCESS_H_
