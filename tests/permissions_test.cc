// Access: folders and files the user may not read or write are not
// touched, and no run gives anyone more access than the originals gave.
// Root may do anything, so when the tests run as root a run that must be an
// ordinary user's goes as the user "nobody".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "anonymize/folder_run.h"
#include "tests/faults.h"
#include "tests/test_folder.h"

namespace {

const uid_t kNobody = 65534;
const gid_t kStaff = 50;

bool Root() { return geteuid() == 0; }

// veilmark-cli on `folder` as an ordinary user with umask `mask`, in the
// group staff too when `staff`: its exit status and output.
int RunAsUser(const ScratchFolder& folder, std::string* out,
              const char* mask = "022", bool staff = false,
              const char* options = "") {
  std::string as = Root()
                       ? std::string("setpriv --reuid=65534 --regid=65534 ") +
                             (staff ? "--groups=50 " : "--clear-groups ")
                       : "";
  std::string log = folder.path() + ".log";
  int status = std::system(("umask " + std::string(mask) + "; " + as +
                            VEILMARK_CLI " " + options + " '" + folder.path() +
                            "' > '" + log + "' 2>/dev/null")
                               .c_str());
  *out = ReadBytes(log);
  ::unlink(log.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// user::rw- user:daemon:r-- group::--- mask::r-- other::---, as the kernel
// takes an ACL: version 2, then (tag, permissions, id), little endian.
const std::string kDaemonMayRead(
    "\2\0\0\0"
    "\x01\0\6\0\xff\xff\xff\xff"
    "\x02\0\4\0\1\0\0\0"
    "\x04\0\0\0\xff\xff\xff\xff"
    "\x10\0\4\0\xff\xff\xff\xff"
    "\x20\0\0\0\xff\xff\xff\xff",
    44);

// user::rw- user:daemon:rw- group::r-- mask::rw- other::---
const std::string kDaemonMayWrite(
    "\2\0\0\0"
    "\x01\0\6\0\xff\xff\xff\xff"
    "\x02\0\6\0\1\0\0\0"
    "\x04\0\4\0\xff\xff\xff\xff"
    "\x10\0\6\0\xff\xff\xff\xff"
    "\x20\0\0\0\xff\xff\xff\xff",
    44);

std::string Attribute(const std::string& path, const char* name) {
  char value[1024];
  ssize_t size = ::lgetxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? std::string() : std::string(value, size);
}

// Owner, group, permission bits, ACL and user attribute of a file.
std::string AllAccessOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  char bits[64];
  std::snprintf(bits, sizeof bits, "%u:%u %04o ", st.st_uid, st.st_gid,
                st.st_mode & 07777);
  return bits + Attribute(path, "system.posix_acl_access") + " " +
         Attribute(path, "user.scanner");
}

}  // namespace

// As an ordinary user, with umask 022, over 0640 files: what the user may
// not read or write is not touched; copies keep 0640, a new record is for
// its owner only (0600) and an existing one keeps its mode.
TEST(Permissions, AsTheOwningUser) {
  const std::string cantCreate =
      "ERROR:Couldn't create/open anonymous_record.csv to store original "
      "patient names in.\nCheck folder permissions in: FOLDER\nQuitting...\n";
  const struct {
    mode_t folderMode, recordMode;  // 0: no record
    bool readable;
    int status;
    const char* out;  // the run's output, the folder's path as FOLDER
  } cases[] = {
      {0555, 0, true, 2, cantCreate.c_str()},
      {0755, 0444, true, 2, cantCreate.c_str()},
      {0311, 0, true, 2,
       "ERROR:Couldn't list folder: FOLDER (Permission denied)\n"},
      {0755, 0, false, 1,
       "Anonymizing file: IM1.ima\nERROR:Couldn't load file: FOLDER/IM1.ima "
       "(Permission denied)\nAnonymizing file: IM2.ima\nDone. 1 file(s) "
       "modified.\n"},
      {0755, 0640, true, 0,
       "Anonymizing file: IM1.ima\nAnonymizing file: IM2.ima\nDone. 2 file(s) "
       "modified.\n"},
  };
  for (const auto& c : cases) {
    ScratchFolder folder;
    folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
    folder.Write("IM2.ima", Patient("SMITH^ANN", "20070802"));
    if (c.recordMode) WriteBytes(folder / "anonymous_record.csv", "");
    const std::vector<std::string> before = folder.Names();
    for (const std::string& name : before) {
      if (Root()) ::chown((folder / name).c_str(), kNobody, kNobody);
      ::chmod((folder / name).c_str(), 0640);
    }
    if (c.recordMode) {
      ::chmod((folder / "anonymous_record.csv").c_str(), c.recordMode);
    }
    if (Root()) ::chown(folder.path().c_str(), kNobody, kNobody);
    ::chmod(folder.path().c_str(), c.folderMode);
    if (!c.readable) ::chmod((folder / "IM1.ima").c_str(), 0200);

    std::string out;
    EXPECT_EQ(RunAsUser(folder, &out), c.status);
    EXPECT_EQ(Folded(out, folder), c.out);
    ::chmod(folder.path().c_str(), 0755);
    if (c.status == 2) {
      EXPECT_EQ(folder.Names(), before);
      continue;
    }
    struct stat copy, record;
    ASSERT_EQ(::stat((folder / "ANONSN20070802.ima").c_str(), &copy), 0);
    ASSERT_EQ(::stat((folder / "anonymous_record.csv").c_str(), &record), 0);
    EXPECT_EQ(copy.st_mode & 07777, 0640u);
    EXPECT_EQ(copy.st_uid, Root() ? kNobody : geteuid());
    EXPECT_EQ(record.st_mode & 07777, c.recordMode ? c.recordMode : 0600u);
  }
}

// With the profile, what stays of the originals, and the secret, are kept
// for their owner alone, whatever the umask: the keys' folder and every
// file in it; the copies take their originals' access.
TEST(Permissions, TheKeysAreTheirOwnersAlone) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  ::chmod((folder / "IM1.ima").c_str(), 0644);
  if (Root()) {
    ::chown(folder.path().c_str(), kNobody, kNobody);
    ::chown((folder / "IM1.ima").c_str(), kNobody, kNobody);
  }
  std::string out;
  ASSERT_EQ(RunAsUser(folder, &out, "000", false, "--profile basic"), 0) << out;
  const std::string keys = folder / "anonymous_record.keys";
  struct stat st;
  ASSERT_EQ(::stat(keys.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  const std::vector<std::string> names = Names(keys);
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    ASSERT_EQ(::stat((keys + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
  }
  const std::string copy = folder / ReadRecord(folder)[0][1];
  ASSERT_EQ(::stat(copy.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// As root over another user's files, in a folder whose default ACL would
// let a third user read what is created in it: each copy takes its
// original's owner, group, permission bits, ACL and user attributes, and
// no temporary file is ever readable by more than the original was.
TEST(Permissions, CopiesTakeTheirOriginalsAccess) {
  if (!Root()) GTEST_SKIP() << "SKIPPED: giving files away needs root";
  ScratchFolder folder;
  std::map<std::string, std::string> before;  // by patient name
  for (int i = 0; i < 4; ++i) {
    const std::string name = "IM" + std::to_string(i) + ".ima";
    const std::string patient = "P" + std::to_string(i) + "^X";
    const std::string path = folder / name;
    // The last is too large to be copied in memory.
    folder.Write(name, Patient(patient, "20070801", i == 3 ? 3 << 20 : 1024));
    ASSERT_EQ(::chown(path.c_str(), kNobody, kStaff), 0);
    ::chmod(path.c_str(), i == 2 ? 0620 : 0640);
    if (i == 1) {
      ASSERT_EQ(::setxattr(path.c_str(), "system.posix_acl_access",
                           kDaemonMayRead.data(), kDaemonMayRead.size(), 0),
                0);
      ASSERT_EQ(::setxattr(path.c_str(), "user.scanner", "CT 7", 4, 0), 0);
    }
    before[patient] = AllAccessOf(path);
  }
  ASSERT_EQ(::setxattr(folder.path().c_str(), "system.posix_acl_default",
                       kDaemonMayRead.data(), kDaemonMayRead.size(), 0),
            0);

  // At every step, a temporary file grants others nothing and its group no
  // more than the originals' group had; an ACL it holds is the original's.
  std::vector<std::string> wider;
  faults::Scope scope([&](const faults::Call& call) {
    for (const std::string& name : folder.Names()) {
      if (name.compare(0, 10, ".veilmark-") != 0) continue;
      struct stat st;
      if (::lstat((folder / name).c_str(), &st) != 0) continue;
      const std::string acl =
          Attribute(folder / name, "system.posix_acl_access");
      if ((st.st_mode & 0007) || ((st.st_mode & 0070) && st.st_gid != kStaff) ||
          ((st.st_mode & 0070) && !acl.empty() && acl != kDaemonMayRead)) {
        wider.push_back(std::string(faults::OpName(call.op)) + " " + name);
      }
    }
    return 0;
  });
  ::umask(022);
  EXPECT_EQ(RunLogged(folder.path()).result.failed, 0);
  EXPECT_EQ(wider, std::vector<std::string>{});

  Rows rows = ReadRecord(folder);
  ASSERT_EQ(rows.size(), 4u);
  for (const auto& row : rows) {
    EXPECT_EQ(AllAccessOf(folder / row[1]), before[row[2]]) << row[2];
  }
  struct stat record;
  ASSERT_EQ(::stat((folder / "anonymous_record.csv").c_str(), &record), 0);
  EXPECT_EQ(record.st_mode & 0777, 0600u);
}

// A member of the file's group copying another user's file keeps the group
// but cannot give the copy its owner or ACL: the group then gets what the
// ACL gave the group itself (read), not what it gave the named user (the
// mask, read and write).
TEST(Permissions, AGroupKeptWithoutItsAclGetsNoMoreThanItHad) {
  if (!Root()) GTEST_SKIP() << "SKIPPED: another user's files need root";
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  ASSERT_EQ(::chown((folder / "IM1.ima").c_str(), 0, kStaff), 0);
  ASSERT_EQ(::setxattr((folder / "IM1.ima").c_str(), "system.posix_acl_access",
                       kDaemonMayWrite.data(), kDaemonMayWrite.size(), 0),
            0);
  ::chown(folder.path().c_str(), kNobody, kNobody);
  std::string out;
  EXPECT_EQ(RunAsUser(folder, &out, "002", true), 0) << out;
  EXPECT_EQ(AllAccessOf(folder / "ANONDN20070801.ima"), "65534:50 0640  ");
}
