#include "key/name_numbers.h"

#include "text/anonymous_name.h"
#include "text/unicode_text.h"

namespace {

// A folder's worth of one patient's series fits many times over; past this
// the name is taken to be unclaimable rather than tried forever.
constexpr int kMaxNameTries = 100000;

}  // namespace

bool NameNumbers::ClaimFirstFree(
    const CString& anonymousName, const CString& extension,
    const std::function<PublishResult(const CString&)>& claim, CString* name) {
  const std::string key = anonymousName.str() + '\0' + extension.str();
  for (int tries = 0; tries < kMaxNameTries; ++tries) {
    const int number = FirstUnknown(key);
    *name = NumberedFileName(anonymousName, extension, number);
    const PublishResult result = reserved_.count(CanonicalText(name->str()))
                                     ? PublishResult::kNameTaken
                                     : claim(*name);
    if (result == PublishResult::kFailed) return false;
    Taken(key, number, name->str());
    if (result == PublishResult::kDone) return true;
  }
  return false;
}

void NameNumbers::Reserve(const std::vector<RecordEntry>& entries) {
  for (const RecordEntry& entry : entries) {
    if (entry.Usable()) reserved_.insert(CanonicalText(entry.newFile.str()));
  }
}

int NameNumbers::FirstUnknown(const std::string& key) const {
  auto it = numbers_.find(key);
  if (it == numbers_.end()) return 1;
  const Numbers& n = it->second;
  return n.freeBelow.empty() ? n.next : *n.freeBelow.begin();
}

void NameNumbers::Taken(const std::string& key, int number,
                        const std::string& name) {
  Numbers& n = numbers_[key];
  if (number >= n.next) {
    for (int free = n.next; free < number; ++free) n.freeBelow.insert(free);
    n.next = number + 1;
  } else {
    n.freeBelow.erase(number);
  }
  names_[name] = {key, number};
}

void NameNumbers::Gone(const std::string& name) {
  auto it = names_.find(name);
  if (it == names_.end()) return;
  Numbers& n = numbers_[it->second.first];
  if (it->second.second < n.next) n.freeBelow.insert(it->second.second);
  names_.erase(it);
}
