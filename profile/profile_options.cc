#include "profile/profile_options.h"

#include <sstream>

namespace {

struct Known {
  DeidOption option;
  const char* word;  // how a folder keeps it, and the command line's flag
  const char* code;
  const char* meaning;
};

const Known kKnown[] = {
    {DeidOption::kRetainUids, "retain-uids", "113110", "Retain UIDs Option"},
    {DeidOption::kRetainDeviceIdentity, "retain-device-identity", "113109",
     "Retain Device Identity Option"},
    {DeidOption::kRetainInstitutionIdentity, "retain-institution-identity",
     "113112", "Retain Institution Identity Option"},
    {DeidOption::kRetainPatientCharacteristics,
     "retain-patient-characteristics", "113108",
     "Retain Patient Characteristics Option"},
    {DeidOption::kRetainFullDates, "retain-full-dates", "113106",
     "Retain Longitudinal Temporal Information Full Dates Option"},
    {DeidOption::kRetainModifiedDates, "retain-modified-dates", "113107",
     "Retain Longitudinal Temporal Information Modified Dates Option"},
};

bool* Flag(ProfileOptions* options, DeidOption option) {
  switch (option) {
    case DeidOption::kRetainUids:
      return &options->retainUids;
    case DeidOption::kRetainDeviceIdentity:
      return &options->retainDeviceIdentity;
    case DeidOption::kRetainInstitutionIdentity:
      return &options->retainInstitutionIdentity;
    case DeidOption::kRetainPatientCharacteristics:
      return &options->retainPatientCharacteristics;
    case DeidOption::kRetainFullDates:
      return &options->retainFullDates;
    case DeidOption::kRetainModifiedDates:
      return &options->retainModifiedDates;
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<DeidOption> ProfileOptions::Options() const {
  std::vector<DeidOption> on;
  ProfileOptions copy = *this;
  for (const Known& known : kKnown) {
    if (*Flag(&copy, known.option)) on.push_back(known.option);
  }
  return on;
}

std::string ProfileOptions::Describe() const {
  std::string text = "DICOM Basic Profile";
  const std::vector<DeidOption> on = Options();
  if (on.empty()) return text + ", without options";
  for (size_t i = 0; i < on.size(); ++i) {
    std::string meaning = OptionMeaning(on[i]);
    meaning.erase(meaning.size() - 7);  // " Option"
    text += (i == 0               ? ", with "
             : i + 1 == on.size() ? " and "
                                  : ", ") +
            meaning;
  }
  return text;
}

std::string ProfileOptions::Words() const {
  std::string words = basic ? "basic" : "";
  ProfileOptions copy = *this;
  for (const Known& known : kKnown) {
    if (*Flag(&copy, known.option)) words += std::string(" ") + known.word;
  }
  return words;
}

bool ProfileOptions::ParseWords(const std::string& words) {
  *this = ProfileOptions();
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    bool known = word == "basic";
    basic = basic || known;
    for (const Known& k : kKnown) {
      if (word == k.word) {
        *Flag(this, k.option) = true;
        known = true;
      }
    }
    if (!known) return false;
  }
  return true;
}

const char* OptionCode(DeidOption option) {
  for (const Known& known : kKnown) {
    if (known.option == option) return known.code;
  }
  return "";
}

const char* OptionMeaning(DeidOption option) {
  for (const Known& known : kKnown) {
    if (known.option == option) return known.meaning;
  }
  return "";
}
