#include "tests/test_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "platform/win32/system.h"
#include "platform/win32/windows_api.h"
// After it, which it needs.
#include <sddl.h>

#include "tests/faults.h"
#include "tests/win32/stop_events.h"

// Under wine (the tests' Windows), a path of the Unix side is the same path
// on drive Z:, and a file's security descriptor and symbolic links are not
// kept.

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& utf8) {
  std::wstring wide;
  win32::Utf8ToWide(utf8, &wide);
  return wide;
}

// The wide API's long form of `path`, which takes any name.
std::wstring Long(const std::string& path) { return win32::WidePath(path); }

// How the system names the file or folder open as `file`, without the long
// form's prefix.
std::string NameOf(HANDLE file) {
  std::wstring path(1024, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      file, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length == 0 || length >= path.size()) return "";
  path.resize(length);
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    path.replace(0, 8, L"\\\\");
  } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
    path.erase(0, 4);
  }
  return win32::WideToUtf8(path);
}

HANDLE OpenEntry(const std::string& path, DWORD access, DWORD share) {
  return CreateFileW(Long(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                     nullptr);
}

std::string RandomPart() {
  static std::mt19937 random(std::random_device{}() ^ GetCurrentProcessId());
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string part;
  for (int i = 0; i < 6; ++i) part += kLetters[random() % 36];
  return part;
}

// A handle for a started program to inherit: the null device for an empty
// `path`, or the file at `path`.
HANDLE Inheritable(const std::string& path, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.empty() ? L"NUL" : Long(path).c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, path.empty() ? OPEN_EXISTING : disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() &&
      argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == argument.size()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted += argument[i];
  }
  return quoted + L"\"";
}

// Where scratch folders go, when not the system's temporary folder.
std::string scratchBase;

}  // namespace

std::string MakeScratchFolder() {
  const std::string base =
      scratchBase.empty() ? fs::temp_directory_path().u8string() : scratchBase;
  for (int tries = 0; tries < 100; ++tries) {
    const std::string path = base + "veilmark-" + RandomPart();
    if (!CreateDirectoryW(Long(path).c_str(), nullptr)) continue;
    HANDLE folder =
        OpenEntry(path, FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    const std::string named = NameOf(folder);
    CloseHandle(folder);
    return named.empty() ? path : named;
  }
  return "";
}

void PreferMemoryFolders() {
  // Windows has no memory file system of its own; under wine, the Unix
  // side's is drive Z:'s.
  const DWORD attributes = GetFileAttributesW(L"Z:\\dev\\shm");
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    scratchBase = "Z:\\dev\\shm\\";
  }
}

void RemoveTree(const std::string& path) {
  // In the long form throughout, for names past the old length limit.
  const std::wstring wide = Long(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (!DeleteFileW(wide.c_str())) RemoveDirectoryW(wide.c_str());
    return;
  }
  std::vector<std::string> names;
  win32::ListFolder(path, &names);
  for (const std::string& name : names) {
    if (name != "." && name != "..") RemoveTree(path + "\\" + name);
  }
  RemoveDirectoryW(wide.c_str());
}

void SetReadOnly(const std::string& path, bool readOnly) {
  const DWORD attributes = GetFileAttributesW(Long(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(Long(path).c_str(),
                     readOnly ? attributes | FILE_ATTRIBUTE_READONLY
                              : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

std::string Stamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data)) {
    return "missing";
  }
  return std::to_string(data.dwFileAttributes) + " " +
         std::to_string(data.ftLastWriteTime.dwHighDateTime) + "." +
         std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

std::string AccessOf(const std::string& path) {
  HANDLE file =
      OpenEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (file == kInvalidHandle) return "missing";
  std::string access;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION which = OWNER_SECURITY_INFORMATION |
                                     GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION;
  wchar_t* text = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, which, nullptr, nullptr, nullptr,
                      nullptr, &descriptor) == ERROR_SUCCESS &&
      ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, which, &text, nullptr)) {
    access = win32::WideToUtf8(text);
  }
  if (text) LocalFree(text);
  if (descriptor) LocalFree(descriptor);
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
    access += " read-only";
  }
  CloseHandle(file);
  return access;
}

bool ShareWithGroup(const std::string& path) {
  // The owner's and the local users' entries, the second for reading.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  std::wstring wide = Long(path);
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;FA;;;OW)(A;;FR;;;BU)", SDDL_REVISION_1, &descriptor,
          nullptr) &&
      GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, dacl, nullptr);
  }
  if (descriptor) LocalFree(descriptor);
  return AccessOf(path).find(";;;BU)") != std::string::npos;
}

bool IsPossibleName(const std::string& name) {
  std::wstring wide;
  if (!win32::Utf8ToWide(name, &wide)) return false;
  for (wchar_t c : wide) {
    if (c < 32 || std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos) {
      return false;
    }
  }
  return true;
}

bool HasSymbolicLinks() {
  static const bool has = [] {
    const std::string folder = MakeScratchFolder();
    const bool made = MakeSymbolicLink(folder + "\\target", folder + "\\link");
    RemoveTree(folder);
    return made;
  }();
  return has;
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  // Wine says it made one, and made none.
  const DWORD attributes = GetFileAttributesW(Long(target).c_str());
  const DWORD flags = (attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_DIRECTORY))
                          ? SYMBOLIC_LINK_FLAG_DIRECTORY
                          : 0;
  return CreateSymbolicLinkW(Long(link).c_str(), Wide(target).c_str(), flags) &&
         GetFileAttributesW(Long(link).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HasFifos() { return false; }

bool MakeFifo(const std::string&) { return false; }

bool OpenFilesCanBeChanged() { return false; }

std::vector<std::string> FilesHeldOpen(const std::string& folder) {
  // Anything this process holds open for its data refuses an opening that
  // shares nothing.
  std::vector<std::string> paths = {folder};
  std::vector<std::string> held;
  std::vector<std::string> names;
  win32::ListFolder(folder, &names);
  for (const std::string& name : names) {
    if (name != "." && name != "..") paths.push_back(folder + "\\" + name);
  }
  for (const std::string& path : paths) {
    HANDLE file = OpenEntry(path, GENERIC_READ, 0);
    if (file != kInvalidHandle) {
      CloseHandle(file);
    } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
      held.push_back(path);
    }
  }
  return held;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
  state_ = std::make_shared<faults::Scope>([bytes](const faults::Call& call) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (call.op != faults::Op::kWrite ||
        !GetFileAttributesExW(Long(call.path).c_str(), GetFileExInfoStandard,
                              &data)) {
      return 0;
    }
    const unsigned long long size =
        static_cast<unsigned long long>(data.nFileSizeHigh) << 32 |
        data.nFileSizeLow;
    return size + call.size > bytes ? ENOSPC : 0;
  });
}

FileSizeLimit::~FileSizeLimit() = default;

std::string FileSizeLimit::Reason() { return "No space left on device"; }

OpenFilesLimit::OpenFilesLimit(unsigned long long) {}

OpenFilesLimit::~OpenFilesLimit() = default;

std::string Program(const std::string& built) {
  // Every program is built into one folder; the build names it as the Unix
  // side does.
  std::wstring self(32768, L'\0');
  self.resize(
      GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size())));
  const std::string here = win32::WideToUtf8(self);
  return here.substr(0, here.find_last_of("\\/") + 1) +
         built.substr(built.find_last_of("\\/") + 1);
}

Process StartProgram(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment,
                     const std::string& out, const std::string& err,
                     const std::string& where) {
  Process process;
  std::wstring line = Quoted(Wide(program));
  for (const std::string& argument : arguments) {
    line += L" " + Quoted(Wide(argument));
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable("", OPEN_EXISTING);
  startup.hStdOutput = Inheritable(out, CREATE_ALWAYS);
  startup.hStdError = Inheritable(err, CREATE_ALWAYS);
  const std::wstring folder = Wide(where);
  // The program inherits this process's environment, the variables given
  // set for as long as it takes to start it.
  std::vector<std::pair<std::wstring, std::wstring>> saved;
  for (const std::string& variable : environment) {
    const size_t equals = variable.find('=');
    const std::wstring name = Wide(variable.substr(0, equals));
    std::wstring value(32767, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), &value[0],
                                         static_cast<DWORD>(value.size())));
    saved.emplace_back(name, value);
    SetEnvironmentVariableW(name.c_str(),
                            Wide(variable.substr(equals + 1)).c_str());
  }
  PROCESS_INFORMATION started = {};
  const bool made = CreateProcessW(
      Long(program).c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
      where.empty() ? nullptr : folder.c_str(), &startup, &started);
  for (const auto& [name, value] : saved) {
    SetEnvironmentVariableW(name.c_str(),
                            value.empty() ? nullptr : value.c_str());
  }
  if (made) {
    CloseHandle(started.hThread);
    process.id = started.dwProcessId;
    process.handle = started.hProcess;
  } else {
    ADD_FAILURE() << "cannot start " << program << ": "
                  << win32::LastErrorText();
  }
  for (HANDLE handle :
       {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (handle != kInvalidHandle) CloseHandle(handle);
  }
  return process;
}

int Finish(const Process& process) {
  HANDLE handle = static_cast<HANDLE>(process.handle);
  if (!handle) return -1000;
  if (WaitForSingleObject(handle, 60000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the program still runs after a minute";
    TerminateProcess(handle, 128 + faults::kKill);
    WaitForSingleObject(handle, INFINITE);
  }
  DWORD code = 0;
  const bool known = GetExitCodeProcess(handle, &code);
  CloseHandle(handle);
  if (!known) {
    ADD_FAILURE() << "no exit code: " << win32::LastErrorText();
    return -1000;
  }
  return code == 128 + faults::kKill ? -faults::kKill : static_cast<int>(code);
}

void Kill(const Process& process) {
  if (process.handle) {
    TerminateProcess(static_cast<HANDLE>(process.handle), 128 + faults::kKill);
  }
}

bool WaitStopped(const Process& process) {
  return process.id > 0 &&
         StopEvents(static_cast<DWORD>(process.id)).WaitStopped(60000);
}

void GoOn(const Process& process) {
  if (process.id > 0) StopEvents(static_cast<DWORD>(process.id)).GoOn();
}
