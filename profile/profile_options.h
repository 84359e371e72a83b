// Which de-identification a run makes: none (the patient's name replaced,
// nothing else), or the DICOM Basic Application Level Confidentiality
// Profile with the options that keep some of what it would take out.
#ifndef VEILMARK_PROFILE_PROFILE_OPTIONS_H_
#define VEILMARK_PROFILE_PROFILE_OPTIONS_H_

#include <string>
#include <vector>

#include "profile/deid_table.h"

struct ProfileOptions {
  bool basic = false;  // the Basic Profile
  bool retainUids = false;
  bool retainDeviceIdentity = false;
  bool retainInstitutionIdentity = false;
  bool retainPatientCharacteristics = false;
  bool retainFullDates = false;      // longitudinal temporal information
  bool retainModifiedDates = false;  // the same, each patient's shifted

  // The options on, in the table's order of columns.
  std::vector<DeidOption> Options() const;

  // "DICOM Basic Profile, with Retain UIDs and Retain Device Identity", or
  // "... without options": for the log's first line.
  std::string Describe() const;
  // The same options as one line of words, and back: how a folder keeps
  // them. False for words it does not know.
  std::string Words() const;
  bool ParseWords(const std::string& words);

  bool operator==(const ProfileOptions& other) const {
    return Words() == other.Words();
  }
};

// The code of `option` in DICOM's context group 7050 (113100 is the Basic
// Profile's), and its meaning.
const char* OptionCode(DeidOption option);
const char* OptionMeaning(DeidOption option);

#endif  // VEILMARK_PROFILE_PROFILE_OPTIONS_H_
