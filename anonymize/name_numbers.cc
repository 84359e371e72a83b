#include "anonymize/name_numbers.h"

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

void NameNumbers::Clear() {
  numbers_.clear();
  names_.clear();
}
