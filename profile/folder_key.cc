#include "profile/folder_key.h"

#include <cstdint>
#include <sstream>

#include "platform/framework/cfile.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "platform/system/random_bytes.h"
#include "profile/keyed_hash.h"
#include "text/unicode_text.h"

namespace {

constexpr size_t kSecretBytes = 32;

std::string ProfilePath(const std::string& folder) {
  return KeysFolder(folder) + kPathSeparator + "profile";
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

bool FromHex(const std::string& hex, std::string* bytes) {
  auto value = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  bytes->clear();
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = value(hex[i]), low = value(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

std::string Text(const std::string& options, const std::string& secret) {
  return "options " + options + "\r\nsecret " + Hex(secret) + "\r\n";
}

// A patient as the profile tells patients apart: the same ID and the same
// name, as text.
std::string Patient(const std::string& id, const std::string& name) {
  return CanonicalText(id) + '\0' + CanonicalText(name);
}

}  // namespace

std::string KeysFolder(const std::string& folder) {
  return folder + kPathSeparator + "anonymous_record.keys";
}

FolderKey::Result FolderKey::Read(const std::string& folder,
                                  std::string* error) {
  const std::string path = ProfilePath(folder);
  if (!EntryExists(path)) return kMissing;
  CFile file;
  char buffer[4096];
  long got = -1;
  if (file.Open(path.c_str(), CFile::modeRead)) {
    got = file.ReadAt(0, buffer, sizeof buffer);
  }
  std::istringstream in(std::string(buffer, got > 0 ? got : 0));
  std::string line, options, secret;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 8, "options ") == 0) options = line.substr(8);
    if (line.compare(0, 7, "secret ") == 0) secret = line.substr(7);
  }
  if (got <= 0 || !options_.ParseWords(options) || !FromHex(secret, &secret_) ||
      secret_.size() != kSecretBytes) {
    *error = "anonymous_record.keys/profile can't be read";
    return kFailed;
  }
  hash_ = KeyedHash(secret_);
  return kRead;
}

bool FolderKey::Make(const std::string& folder, const ProfileOptions& options,
                     bool keep, std::string* error) {
  if (secret_.empty()) {
    secret_.assign(kSecretBytes, '\0');
    if (!RandomBytes(&secret_[0], secret_.size())) {
      *error = "the system gives no random bytes";
      return false;
    }
    hash_ = KeyedHash(secret_);
  }
  options_ = options;
  if (!keep) return true;
  const std::string keys = KeysFolder(folder);
  const std::string text = Text(options.Words(), secret_);
  std::string temp;
  FolderHandle keysHandle, folderHandle;
  if (!MakePrivateFolder(keys, error) ||
      !WriteTempFile(keys, text.data(), text.size(), FileAccess(), &temp,
                     error)) {
    return false;
  }
  if (!SyncFile(temp, error) ||
      !ReplaceFile(temp, ProfilePath(folder), nullptr, error)) {
    RemoveFile(temp);
    return false;
  }
  // The name, and the folder's own in its parent, on disk.
  return keysHandle.Open(keys, error) == FolderHandle::kOpened &&
         keysHandle.SyncEntries(error) &&
         folderHandle.Open(folder, error) == FolderHandle::kOpened &&
         folderHandle.SyncEntries(error);
}

std::string FolderKey::Pseudonym(const std::string& id,
                                 const std::string& name) const {
  // Crockford's base 32: no I, L, O or U to be misread.
  static const char kLetters[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
  const Digest digest = hash_.Of("patient\n" + Patient(id, name));
  std::string pseudonym = "ANON";
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | digest[i];
  for (int i = 0; i < 12; ++i, bits >>= 5) pseudonym += kLetters[bits & 31];
  return pseudonym;
}

int FolderKey::DateOffset(const std::string& id,
                          const std::string& name) const {
  const Digest digest = hash_.Of("dates\n" + Patient(id, name));
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = bits << 8 | digest[i];
  return 1 + static_cast<int>(bits % 3650);
}

std::string FolderKey::NewUid(const std::string& uid) const {
  const Digest digest = hash_.Of("uid\n" + uid);
  // Its first 128 bits as a decimal number, by long division of four
  // 32-bit digits.
  std::uint32_t number[4] = {};
  for (int i = 0; i < 16; ++i) {
    number[i / 4] = number[i / 4] << 8 | digest[i];
  }
  std::string digits;
  for (bool zero = false; !zero;) {
    std::uint64_t rest = 0;
    zero = true;
    for (std::uint32_t& part : number) {
      const std::uint64_t value = rest << 32 | part;
      part = static_cast<std::uint32_t>(value / 10);
      rest = value % 10;
      zero = zero && part == 0;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rest));
  }
  return "2.25." + digits;
}
