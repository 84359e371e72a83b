#include "platform/system/file_access.h"

#include <errno.h>
#include <stdio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr char kAclName[] = "system.posix_acl_access";
constexpr char kUserPrefix[] = "user.";

// An ACL as the kernel hands it over: a 4-byte version, then entries of a
// 2-byte tag, 2-byte permissions and 4-byte id, little endian.
constexpr size_t kAclHeader = 4, kAclEntry = 8;
constexpr unsigned kAclGroupObj = 0x04;

unsigned Le16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) |
         static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

// The owning group's own permissions in `acl`, as group bits of a mode.
mode_t GroupObjectBits(const std::string& acl, mode_t fallback) {
  for (size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
    if (Le16(acl, at) == kAclGroupObj) {
      return static_cast<mode_t>((Le16(acl, at + 2) & 07) << 3);
    }
  }
  return fallback;
}

bool ReadAttribute(int fd, const char* name, std::string* value) {
  for (int tries = 0; tries < 4; ++tries) {
    ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return false;
    value->resize(static_cast<size_t>(size));
    ssize_t got = ::fgetxattr(fd, name, &(*value)[0], value->size());
    if (got >= 0) {
      value->resize(static_cast<size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;  // grew meanwhile: ask again
  }
  return false;
}

// The names of the file's extended attributes, NUL-separated.
std::string AttributeNames(int fd) {
  std::string names;
  for (int tries = 0; tries < 4; ++tries) {
    ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) return std::string();
    names.resize(static_cast<size_t>(size));
    ssize_t got = ::flistxattr(fd, &names[0], names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      return names;
    }
    if (errno != ERANGE) return std::string();
  }
  return std::string();
}

}  // namespace

mode_t ProcessUmask() {
  // Read without changing it: other threads may be creating files.
  static const mode_t mask = [] {
    mode_t value = 022;
    if (FILE* status = ::fopen("/proc/self/status", "re")) {
      char line[256];
      while (::fgets(line, sizeof line, status)) {
        unsigned int octal;
        if (::sscanf(line, "Umask: %o", &octal) == 1) {
          value = static_cast<mode_t>(octal);
          break;
        }
      }
      ::fclose(status);
    }
    return value;
  }();
  return mask;
}

FileAccess ReadAccess(int fd, const struct stat& st) {
  FileAccess access;
  access.owner = st.st_uid;
  access.group = st.st_gid;
  access.mode = st.st_mode & 0777;
  access.groupOwnBits = st.st_mode & 0070;
  const std::string names = AttributeNames(fd);
  for (size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
    const char* name = &names[at];
    std::string value;
    if (std::strcmp(name, kAclName) == 0) {
      if (ReadAttribute(fd, name, &value)) {
        access.acl = value;
        access.groupOwnBits = GroupObjectBits(value, access.groupOwnBits);
      }
    } else if (std::strncmp(name, kUserPrefix, sizeof kUserPrefix - 1) == 0 &&
               ReadAttribute(fd, name, &value)) {
      access.userAttributes.emplace_back(name, value);
    }
  }
  return access;
}

void GiveAccess(int fd, const FileAccess& access) {
  struct stat now;
  if (::fstat(fd, &now) != 0) return;
  if (now.st_uid != access.owner || now.st_gid != access.group) {
    // Only root gives a file away; its owner may still hand it to another
    // of its groups.
    if (::fchown(fd, access.owner, access.group) != 0 &&
        now.st_gid != access.group) {
      ::fchown(fd, static_cast<uid_t>(-1), access.group);
    }
    if (::fstat(fd, &now) != 0) return;
  }
  for (const auto& [name, value] : access.userAttributes) {
    ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
  }
  const bool ownerKept = now.st_uid == access.owner;
  const bool groupKept = now.st_gid == access.group;
  // The ACL sets the permission bits along with it.
  if (ownerKept && groupKept && !access.acl.empty() &&
      ::fsetxattr(fd, kAclName, access.acl.data(), access.acl.size(), 0) == 0) {
    return;
  }
  // One the folder's default ACL gave the new file would grant its named
  // users whatever the group bits allow.
  ::fremovexattr(fd, kAclName);
  mode_t mode = access.mode;
  if (!access.acl.empty()) mode = (mode & ~0070) | access.groupOwnBits;
  if (!ownerKept || !groupKept) mode &= ~ProcessUmask();
  if (!groupKept) mode &= ~0070 | ((mode & 0007) << 3);
  if ((now.st_mode & 07777) != mode) ::fchmod(fd, mode);
}
