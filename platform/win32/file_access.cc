// Who may do what with a file on Windows: its security descriptor (owner,
// group, DACL) and its read-only attribute.
#include "platform/system/file_access.h"

#include <memory>

#include "platform/win32/files.h"
#include "platform/win32/system_calls.h"

namespace win32 {

namespace {

// A protected DACL with one entry: full access for the process's user.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user_.reset(new char[size]);
    const bool known =
        size > 0 &&
        GetTokenInformation(token, TokenUser, user_.get(), size, &size);
    CloseHandle(token);
    if (!known) return;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user_.get())->User.Sid;
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) +
                          GetLengthSid(sid) - sizeof(DWORD);
    acl_.reset(new char[aclSize]);
    ACL* acl = reinterpret_cast<ACL*>(acl_.get());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&descriptor_,
                                      SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED,
                                      SE_DACL_PROTECTED)) {
      return;
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    ready_ = true;
  }

  SECURITY_ATTRIBUTES* Get() { return ready_ ? &attributes_ : nullptr; }

 private:
  std::unique_ptr<char[]> user_;
  std::unique_ptr<char[]> acl_;
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_;
  bool ready_ = false;
};

}  // namespace

SECURITY_ATTRIBUTES* OwnerOnly() {
  // Never destroyed: new files are made until the process ends.
  static OwnerOnlySecurity* security = new OwnerOnlySecurity;
  return security->Get();
}

FileAccess ReadAccess(HANDLE file) {
  FileAccess access;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                          DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, nullptr,
                      &descriptor) == ERROR_SUCCESS &&
      descriptor) {
    access.descriptor.assign(static_cast<const char*>(descriptor),
                             GetSecurityDescriptorLength(descriptor));
  }
  if (descriptor) LocalFree(descriptor);
  BY_HANDLE_FILE_INFORMATION info;
  access.readOnly = GetFileInformationByHandle(file, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  return access;
}

void GiveAccess(HANDLE file, const FileAccess& access) {
  if (!access.descriptor.empty()) {
    // GetSecurityInfo gave it in self-relative form; the calls below read it
    // in place.
    std::string copy = access.descriptor;
    PSECURITY_DESCRIPTOR descriptor = &copy[0];
    PSID owner = nullptr, group = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    // Only a process with the right to restore files may give a file to
    // another user; the group goes with the owner.
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner) {
      sys::SetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                           owner, nullptr, nullptr, nullptr);
    }
    if (GetSecurityDescriptorGroup(descriptor, &group, &defaulted) && group) {
      sys::SetSecurityInfo(file, SE_FILE_OBJECT, GROUP_SECURITY_INFORMATION,
                           nullptr, group, nullptr, nullptr);
    }
    // The DACL last: until then the file is its creator's alone. One that
    // inherits takes what the folder passes on now, as the original did.
    if (GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
        present &&
        GetSecurityDescriptorControl(descriptor, &control, &revision)) {
      const SECURITY_INFORMATION which =
          DACL_SECURITY_INFORMATION |
          (control & SE_DACL_PROTECTED ? PROTECTED_DACL_SECURITY_INFORMATION
                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
      sys::SetSecurityInfo(file, SE_FILE_OBJECT, which, nullptr, nullptr, dacl,
                           nullptr);
    }
  }
  FILE_BASIC_INFO basic;
  if (access.readOnly &&
      GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    sys::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
  }
}

}  // namespace win32
