// The names of a folder's "*.ima" files as its listing gives them, found
// by their text: a name a record line gives is found however the folder's
// file system composed its characters (a folder copied through one that
// writes names decomposed holds "ë" as "e" and a combining diaeresis).
#ifndef VEILMARK_KEY_LISTED_NAMES_H_
#define VEILMARK_KEY_LISTED_NAMES_H_

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/framework/cstring.h"

class ListedNames {
 public:
  ListedNames() = default;
  explicit ListedNames(const std::vector<CString>& names);

  // Lists the "*.ima" entries of `folder`; false when it cannot be read.
  bool List(const CString& folder);

  // The folder's own name for `name`: `name` itself when listed, else a
  // listed name that is the same text, else empty.
  std::string Find(const std::string& name) const;
  bool Holds(const std::string& name) const { return !Find(name).empty(); }
  // `name` is gone from the folder.
  void Forget(const std::string& name);

 private:
  void Add(const std::string& name);

  std::set<std::string> exact_;
  std::map<std::string, std::string> text_;  // by canonical text
};

#endif  // VEILMARK_KEY_LISTED_NAMES_H_
