#include "text/dataset_text.h"

#include "dcmtk/dcmdata/dcdeftag.h"
#include "text/element_value.h"

namespace {

bool PlainAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80 || c == 0x1b) return false;
  }
  return true;
}

// Whether `text` is valid UTF-8.
bool IsUtf8(const std::string& text) {
  std::string same;
  return PlainAscii(text) || CodePageToUtf8(CodePage::kUtf8, text, &same);
}

}  // namespace

DatasetText::DatasetText(DcmItem* dataset) : dataset_(dataset) {
  std::string declared;
  ReadStoredValue(dataset, DCM_SpecificCharacterSet, &declared);
  known_ = charset_.Parse(declared, &unknown_);
  if (!known_) charset_ = CharacterSet();
}

DatasetText::Read DatasetText::FirstValue(const DcmTagKey& key,
                                          std::string* bytes,
                                          std::string* utf8) const {
  std::string value;
  utf8->clear();
  if (!ReadStoredValue(dataset_, key, &value)) return kAbsent;
  *bytes = charset_.FirstValue(value);
  // Plain ASCII reads as itself in every character set this program knows
  // but the Japanese ones, whose first half is Roman.
  if (!known_) {
    if (!PlainAscii(*bytes)) return kNotText;
    *utf8 = *bytes;
    return kRead;
  }
  if (charset_.Decode(*bytes, utf8)) return kRead;
  utf8->clear();
  return kNotText;
}

bool DatasetText::Encode(const std::string& utf8, std::string* bytes,
                         bool declaredOnly) const {
  if (!known_) {
    if (!PlainAscii(utf8)) return false;
    *bytes = utf8;
    return true;
  }
  return charset_.Encode(utf8, bytes, declaredOnly);
}

std::string DatasetText::Declared() const {
  if (!known_) return unknown_;
  return charset_.Declared().empty() ? "none" : charset_.Declared();
}

bool RecordedAsText(const std::string& recorded) {
  return recorded.find('\x1b') == std::string::npos && IsUtf8(recorded);
}

bool IsRecordedName(const std::string& recorded, const std::string& bytes,
                    const std::string& utf8) {
  // A person name's empty components at its end may be left out.
  auto trimmed = [](std::string name) {
    return name.erase(name.find_last_not_of('^') + 1);
  };
  if (RecordedAsText(recorded)) {
    return !utf8.empty() && trimmed(utf8) == trimmed(recorded);
  }
  return bytes.substr(0, bytes.find('\0')) == recorded;
}

bool HoldsRecordedName(DcmItem* dataset, const std::string& recorded) {
  std::string bytes, utf8;
  return DatasetText(dataset).FirstValue(DCM_PatientName, &bytes, &utf8) !=
             DatasetText::kAbsent &&
         IsRecordedName(recorded, bytes, utf8);
}
