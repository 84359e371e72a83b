// Which numbered new names a run knows to be taken, so that the first free
// one is found without trying again every name known to exist: a folder of
// one series gives all its files the same anonymous name. A name a line of
// the record gives a copy is never given again, whether or not that copy
// is still in the folder: one copy name, one line.
#ifndef VEILMARK_KEY_NAME_NUMBERS_H_
#define VEILMARK_KEY_NAME_NUMBERS_H_

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "key/record_text.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

class NameNumbers {
 public:
  // The copies' names of `entries`, the record's lines, are not to be
  // given: compared as text, however their characters are composed.
  void Reserve(const std::vector<RecordEntry>& entries);

  // Offers `claim` the numbered names of `anonymousName` and `extension`,
  // from the first not known to be taken, until it claims one (kDone) or
  // fails (kFailed); a name it finds taken (kNameTaken) is remembered. True
  // with the name claimed in `name`; false when none was, after too many
  // tries too.
  bool ClaimFirstFree(const CString& anonymousName, const CString& extension,
                      const std::function<PublishResult(const CString&)>& claim,
                      CString* name);
  // The file `name` is gone, so its number may be used again.
  void Gone(const std::string& name);

 private:
  // The lowest number of `key` (an anonymous name and extension) that is
  // not known to be taken.
  int FirstUnknown(const std::string& key) const;
  // `name`, number `number` of `key`, exists now.
  void Taken(const std::string& key, int number, const std::string& name);

  struct Numbers {
    int next = 1;             // every number below is taken, but for...
    std::set<int> freeBelow;  // ...these
  };
  std::set<std::string> reserved_;  // canonical text
  std::map<std::string, Numbers> numbers_;
  std::map<std::string, std::pair<std::string, int>> names_;
};

#endif  // VEILMARK_KEY_NAME_NUMBERS_H_
