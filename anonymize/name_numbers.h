// Which numbered new names a run knows to be taken, so that the first free
// one is found without trying again every name known to exist: a folder of
// one series gives all its files the same anonymous name.
#ifndef VEILMARK_ANONYMIZE_NAME_NUMBERS_H_
#define VEILMARK_ANONYMIZE_NAME_NUMBERS_H_

#include <map>
#include <set>
#include <string>
#include <utility>

class NameNumbers {
 public:
  // The lowest number of `key` (an anonymous name and extension) that is
  // not known to be taken.
  int FirstUnknown(const std::string& key) const;
  // `name`, number `number` of `key`, exists now.
  void Taken(const std::string& key, int number, const std::string& name);
  // The file `name` is gone, so its number may be used again.
  void Gone(const std::string& name);
  void Clear();

 private:
  struct Numbers {
    int next = 1;             // every number below is taken, but for...
    std::set<int> freeBelow;  // ...these
  };
  std::map<std::string, Numbers> numbers_;
  std::map<std::string, std::pair<std::string, int>> names_;
};

#endif  // VEILMARK_ANONYMIZE_NAME_NUMBERS_H_
