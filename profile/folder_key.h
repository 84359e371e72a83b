// What a folder anonymized with the profile keeps beside its record, in
// "anonymous_record.keys" (open to its owner alone): the file "profile",
// which holds the options the folder is anonymized with and a secret made
// at its first run with the profile; and a key file for each copy
// (copy_key.h). From the secret come, the same in every run of the
// folder, each patient's pseudonym and date offset and each UID's
// replacement: keyed hashes, which tell nothing of what they were made
// from to anyone without the secret.
#ifndef VEILMARK_PROFILE_FOLDER_KEY_H_
#define VEILMARK_PROFILE_FOLDER_KEY_H_

#include <string>

#include "profile/keyed_hash.h"
#include "profile/profile_options.h"

// The folder of `folder`'s keys.
std::string KeysFolder(const std::string& folder);

class FolderKey {
 public:
  enum Result { kRead, kMissing, kFailed };
  // Reads the key of `folder`. kMissing when it has none; kFailed, with the
  // reason in `error`, when it cannot be read.
  Result Read(const std::string& folder, std::string* error);
  // Makes one for `folder` with `options` and its secret, or a new secret
  // when it has none, on disk before it returns. Without `keep`, only in
  // memory (a dry run: with a new secret, its pseudonyms are not the
  // run's).
  bool Make(const std::string& folder, const ProfileOptions& options, bool keep,
            std::string* error);

  const ProfileOptions& options() const { return options_; }

  // The pseudonym of the patient with `id` and `name` (as text): "ANON"
  // and twelve letters and digits.
  std::string Pseudonym(const std::string& id, const std::string& name) const;
  // The days by which that patient's dates move back: 1 to 3650.
  int DateOffset(const std::string& id, const std::string& name) const;
  // The UID that stands for `uid`: "2.25." and a number of 128 bits.
  std::string NewUid(const std::string& uid) const;

 private:
  ProfileOptions options_;
  std::string secret_;
  KeyedHash hash_{secret_};  // with secret_, whenever it changes
};

#endif  // VEILMARK_PROFILE_FOLDER_KEY_H_
