#include "profile/deidentify.h"

#include <cstdio>
#include <set>
#include <vector>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcmetinf.h"
#include "dcmtk/dcmdata/dcsequen.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dicom/same_dataset.h"
#include "profile/deid_table.h"
#include "text/dataset_text.h"

namespace {

// What the profile does to one attribute.
enum class Act {
  kKeep,
  kDescend,         // a sequence kept, the profile applied to its items
  kDescendAsDummy,  // the same, and its free text a dummy
  kRemove,
  kEmpty,
  kDummy,
  kUid,
  kShift,      // a date moved back by the patient's offset
  kPseudonym,  // the patient's name or ID
};

// The attributes the profile puts in every dataset: the pseudonym, and
// those that say what was done.
const DcmTagKey kAdded[] = {DCM_PatientName,
                            DCM_PatientID,
                            DCM_PatientIdentityRemoved,
                            DCM_DeidentificationMethod,
                            DCM_DeidentificationMethodCodeSequence,
                            DCM_LongitudinalTemporalInformationModified};

// Image kinds that often show text in their pixels: secondary capture
// (screenshots among them), ultrasound and visible light.
const char* const kTextInPixels[] = {
    "1.2.840.10008.5.1.4.1.1.7",      "1.2.840.10008.5.1.4.1.1.7.1",
    "1.2.840.10008.5.1.4.1.1.7.2",    "1.2.840.10008.5.1.4.1.1.7.3",
    "1.2.840.10008.5.1.4.1.1.7.4",    "1.2.840.10008.5.1.4.1.1.6",
    "1.2.840.10008.5.1.4.1.1.6.1",    "1.2.840.10008.5.1.4.1.1.6.2",
    "1.2.840.10008.5.1.4.1.1.3",      "1.2.840.10008.5.1.4.1.1.3.1",
    "1.2.840.10008.5.1.4.1.1.77.1.1", "1.2.840.10008.5.1.4.1.1.77.1.1.1",
    "1.2.840.10008.5.1.4.1.1.77.1.2", "1.2.840.10008.5.1.4.1.1.77.1.3",
    "1.2.840.10008.5.1.4.1.1.77.1.4", "1.2.840.10008.5.1.4.1.1.77.1.4.1",
};

// The value of `element` as text: a string element's, or the bytes of one
// of unknown value representation.
std::string TextOf(DcmElement* element) {
  if (element->isaString()) {
    OFString value;
    element->getOFStringArray(value);
    return value.c_str();
  }
  Uint8* bytes = nullptr;
  if (element->getUint8Array(bytes).bad() || !bytes) return "";
  std::string value(reinterpret_cast<const char*>(bytes), element->getLength());
  return value.substr(0, value.find_last_not_of(std::string(" \0", 2)) + 1);
}

// The value representation of `element`: of unknown one (UN, as a file
// of explicit VR holds an element its writer did not know), the one the
// dictionary gives its tag.
DcmEVR VrOf(DcmElement* element) {
  if (element->ident() != EVR_UN) return element->ident();
  const DcmTagKey key = element->getTag();
  return DcmTag(key).getEVR();
}

void SetText(DcmElement* element, const std::string& text) {
  if (element->isaString()) {
    element->putString(text.c_str());
    return;
  }
  // Text, of unknown value representation: padded as its own is.
  std::string even = text;
  if (even.size() % 2) even += VrOf(element) == EVR_UI ? '\0' : ' ';
  element->putUint8Array(reinterpret_cast<const Uint8*>(even.data()),
                         static_cast<unsigned long>(even.size()));
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back.
long DaysOf(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void DateOf(long days, int* year, int* month, int* day) {
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long doe = days - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

// `value`, dates of the form YYYYMMDD, each at the start of a value,
// moved back by `offset` days; false when one is not such a date.
bool Shifted(const std::string& value, int offset, std::string* shifted) {
  shifted->clear();
  for (size_t at = 0; at <= value.size();) {
    size_t end = value.find('\\', at);
    if (end == std::string::npos) end = value.size();
    const std::string one = value.substr(at, end - at);
    int year = 0, month = 0, day = 0;
    if (one.size() < 8 || one.find_first_not_of("0123456789") < 8 ||
        std::sscanf(one.c_str(), "%4d%2d%2d", &year, &month, &day) != 3 ||
        month < 1 || month > 12 || day < 1 || day > 31) {
      return false;
    }
    DateOf(DaysOf(year, month, day) - offset, &year, &month, &day);
    if (year < 1 || year > 9999) return false;
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
    *shifted += (at > 0 ? "\\" : "") + std::string(date) + one.substr(8);
    at = end + 1;
  }
  return true;
}

class Profiler {
 public:
  Profiler(const FolderKey& key, const std::string& pseudonym, int offset)
      : key_(key),
        options_(key.options().Options()),
        pseudonym_(pseudonym),
        offset_(offset) {}

  // Applies the profile to `item`; true when it changed anything. At the
  // top level, `changed` gets the tags of what changed.
  bool Apply(DcmItem* item, std::set<DcmTagKey>* changed);

 private:
  Act Choose(const DcmTagKey& tag, DcmElement* element, bool top) const;
  // Does `act` to `item`'s element at `index`; true when it changed it.
  bool Do(Act act, DcmItem* item, unsigned long index);

  const FolderKey& key_;
  std::vector<DeidOption> options_;
  std::string pseudonym_;
  int offset_;
  int dummyDepth_ = 0;  // sequences given a dummy value around the item
};

Act Profiler::Choose(const DcmTagKey& tag, DcmElement* element,
                     bool top) const {
  // Group lengths are written anew, but a private group's goes with it.
  if (tag.getElement() == 0 && tag.getGroup() % 2 == 0) return Act::kKeep;
  if (top && (tag == DCM_PatientName || tag == DCM_PatientID)) {
    return Act::kPseudonym;
  }
  const bool sequence = element->ident() == EVR_SQ;
  const DcmEVR vr = VrOf(element);
  const DeidRow* row = FindDeidRow(tag);
  if (!row) {
    if (sequence) return Act::kDescend;
    // Inside a sequence given a dummy value, text that tells what it likes
    // goes too: what stays is structure, codes, numbers and references.
    const bool freeText =
        vr == EVR_ST || vr == EVR_LT || vr == EVR_UT || vr == EVR_UC;
    return freeText && dummyDepth_ > 0 && element->getLength() > 0 ? Act::kDummy
                                                                   : Act::kKeep;
  }
  std::string action = row->basic;
  for (DeidOption option : options_) {
    const std::string said = row->options[static_cast<int>(option)];
    if (said == "K" ||
        (said == "C" && option == DeidOption::kRetainModifiedDates)) {
      action = said;
      break;
    }
  }
  if (action == "C") {
    // Whole days: a time of day stays as it was.
    if (vr == EVR_TM) return Act::kKeep;
    if (vr == EVR_DA || vr == EVR_DT) return Act::kShift;
    action = row->basic;
  }
  const bool empty =
      sequence ? static_cast<DcmSequenceOfItems*>(element)->card() == 0
               : element->getLength() == 0;
  if (action == "K") return sequence ? Act::kDescend : Act::kKeep;
  if (action == "X") return Act::kRemove;
  // Z may be a dummy too: a date, a time or an ID of dummy value keeps what
  // a reader of the copy needs to file it (a DICOMDIR's records).
  if (action == "Z" && !empty &&
      (vr == EVR_DA || vr == EVR_TM || vr == EVR_DT || vr == EVR_SH)) {
    return Act::kDummy;
  }
  if (action == "Z" || action == "X/Z") return Act::kEmpty;
  if (action == "U") return Act::kUid;
  if (action == "X/Z/U*") return sequence ? Act::kDescend : Act::kRemove;
  // D, X/D, X/Z/D and Z/D: a value that tells nothing, or none where the
  // original had none.
  if (empty && action != "D") return Act::kEmpty;
  if (sequence) return Act::kDescendAsDummy;
  return vr == EVR_UI ? Act::kUid : Act::kDummy;
}

bool Profiler::Do(Act act, DcmItem* item, unsigned long index) {
  DcmElement* element = item->getElement(index);
  const DcmTagKey tag = element->getTag();
  // Only what is replaced is read: a value kept, above the read limit,
  // stays in the original file until the copy is written.
  const bool replaced = act == Act::kDummy || act == Act::kUid ||
                        act == Act::kShift || act == Act::kPseudonym;
  const std::string before = replaced ? TextOf(element) : std::string();
  std::string after = before;
  switch (act) {
    case Act::kKeep:
      return false;
    case Act::kDescend:
    case Act::kDescendAsDummy: {
      bool changed = false;
      const int depth = act == Act::kDescendAsDummy ? 1 : 0;
      dummyDepth_ += depth;
      auto* sequence = static_cast<DcmSequenceOfItems*>(element);
      for (unsigned long i = 0; i < sequence->card(); ++i) {
        changed = Apply(sequence->getItem(i), nullptr) || changed;
      }
      dummyDepth_ -= depth;
      return changed;
    }
    case Act::kRemove:
      delete item->remove(index);
      return true;
    case Act::kEmpty:
      if (element->ident() == EVR_SQ) {
        auto* sequence = static_cast<DcmSequenceOfItems*>(element);
        if (sequence->card() == 0) return false;
        while (sequence->card() > 0) delete sequence->remove(0UL);
        return true;
      }
      if (element->getLength() == 0) return false;
      element->clear();
      return true;
    case Act::kDummy:
      switch (VrOf(element)) {
        case EVR_DA:
        case EVR_DT:
          after = "19000101";
          break;
        case EVR_TM:
          after = "000000";
          break;
        case EVR_AS:
          after = "000D";
          break;
        case EVR_PN:
          after = "ANONYMIZED^";
          break;
        case EVR_AE:
        case EVR_CS:
        case EVR_LO:
        case EVR_LT:
        case EVR_SH:
        case EVR_ST:
        case EVR_UC:
        case EVR_UR:
        case EVR_UT:
          after = "ANONYMIZED";
          break;
        default:  // numbers, and values of bytes
          element->putString("0");
          return true;
      }
      break;
    case Act::kUid: {
      after.clear();
      for (size_t at = 0; at <= before.size();) {
        size_t end = before.find('\\', at);
        if (end == std::string::npos) end = before.size();
        std::string uid = before.substr(at, end - at);
        uid.erase(uid.find_last_not_of(std::string(" \0", 2)) + 1);
        after += (at > 0 ? "\\" : "") + (uid.empty() ? uid : key_.NewUid(uid));
        at = end + 1;
      }
      break;
    }
    case Act::kShift:
      if (!Shifted(before, offset_, &after)) after = "19000101";
      break;
    case Act::kPseudonym:
      // The name in the family name's place, its given name empty.
      after = pseudonym_ + (tag == DCM_PatientName ? "^" : "");
      break;
  }
  if (after == before) return false;
  SetText(element, after);
  return true;
}

bool Profiler::Apply(DcmItem* item, std::set<DcmTagKey>* changed) {
  bool any = false;
  for (unsigned long i = 0; i < item->card();) {
    DcmElement* element = item->getElement(i);
    const DcmTagKey tag = element->getTag();
    const Act act = Choose(tag, element, changed != nullptr);
    const bool done = Do(act, item, i);
    if (done && changed) changed->insert(tag);
    any = any || done;
    if (act != Act::kRemove) ++i;
  }
  return any;
}

// The pseudonym, where the original had no name or ID, and the attributes
// that say what was done.
void AddMethod(const ProfileOptions& options, const std::string& pseudonym,
               DcmDataset* dataset) {
  if (!dataset->tagExists(DCM_PatientName)) {
    dataset->putAndInsertString(DCM_PatientName, (pseudonym + "^").c_str());
  }
  if (!dataset->tagExists(DCM_PatientID)) {
    dataset->putAndInsertString(DCM_PatientID, pseudonym.c_str());
  }
  dataset->putAndInsertString(DCM_PatientIdentityRemoved, "YES");
  std::string methods = "Basic Application Confidentiality Profile";
  std::vector<std::pair<std::string, std::string>> codes = {
      {"113100", "Basic Application Confidentiality Profile"}};
  for (DeidOption option : options.Options()) {
    methods += std::string("\\") + OptionMeaning(option);
    codes.emplace_back(OptionCode(option), OptionMeaning(option));
  }
  dataset->putAndInsertString(DCM_DeidentificationMethod, methods.c_str());
  delete dataset->remove(DCM_DeidentificationMethodCodeSequence);
  for (const auto& code : codes) {
    DcmItem* item = nullptr;
    dataset->findOrCreateSequenceItem(DCM_DeidentificationMethodCodeSequence,
                                      item, -2);
    if (!item) continue;
    item->putAndInsertString(DCM_CodeValue, code.first.c_str());
    item->putAndInsertString(DCM_CodingSchemeDesignator, "DCM");
    item->putAndInsertString(DCM_CodeMeaning, code.second.c_str());
  }
  dataset->putAndInsertString(DCM_LongitudinalTemporalInformationModified,
                              options.retainFullDates       ? "UNMODIFIED"
                              : options.retainModifiedDates ? "MODIFIED"
                                                            : "REMOVED");
}

bool MayShowText(DcmDataset* dataset) {
  OFString burned, kind;
  if (dataset->findAndGetOFString(DCM_BurnedInAnnotation, burned).good() &&
      !burned.empty()) {
    return burned == "YES";
  }
  dataset->findAndGetOFString(DCM_SOPClassUID, kind);
  for (const char* uid : kTextInPixels) {
    if (kind == uid) return true;
  }
  return false;
}

}  // namespace

void FreshMetaHeader(DcmFileFormat* file) {
  DcmDataset* dataset = file->getDataset();
  *file->getMetaInfo() = DcmMetaInfo();
  // The UIDs of the SOP class and instance as the dataset holds them, as
  // text of unknown value representation too.
  const std::pair<DcmTagKey, DcmTagKey> kUids[] = {
      {DCM_SOPClassUID, DCM_MediaStorageSOPClassUID},
      {DCM_SOPInstanceUID, DCM_MediaStorageSOPInstanceUID}};
  for (const auto& uid : kUids) {
    DcmElement* element = nullptr;
    if (dataset->findAndGetElement(uid.first, element).good() && element) {
      const std::string text = TextOf(element);
      if (!text.empty()) {
        file->getMetaInfo()->putAndInsertString(uid.second, text.c_str());
      }
    }
  }
}

Deidentified Deidentify(const FolderKey& key, const std::string& patientId,
                        const std::string& patientName, DcmFileFormat* file) {
  DcmDataset* dataset = file->getDataset();
  Deidentified result;
  result.mayShowText = MayShowText(dataset);
  // Values the copy keeps are shared, not read: those above the read limit
  // stay in the original file until written.
  result.original.reset(new DcmDataset(*dataset));
  std::set<DcmTagKey> changed;
  const std::string pseudonym = key.Pseudonym(patientId, patientName);
  Profiler(key, pseudonym, key.DateOffset(patientId, patientName))
      .Apply(dataset, &changed);
  AddMethod(key.options(), pseudonym, dataset);
  // Nothing of the source system's: a new meta header, a preamble of zeros.
  FreshMetaHeader(file);
  DcmDataset* original = result.original.get();
  for (unsigned long i = 0; i < original->card();) {
    DcmElement* element = original->getElement(i);
    if (!changed.count(element->getTag()) && element->ident() != EVR_SQ &&
        element->getLength() > 4096) {
      delete original->remove(i);
    } else {
      ++i;
    }
  }
  return result;
}

void Reassemble(DcmDataset* copy, DcmDataset* original) {
  for (unsigned long i = 0; i < copy->card(); ++i) {
    DcmElement* element = copy->getElement(i);
    const DcmTagKey tag = element->getTag();
    bool added = false;
    for (const DcmTagKey& key : kAdded) added = added || key == tag;
    if (!added && !original->tagExists(tag)) {
      original->insert(static_cast<DcmElement*>(element->clone()));
    }
  }
}

bool IsProfileCopy(DcmDataset* dataset) {
  OFString removed;
  return dataset->findAndGetOFString(DCM_PatientIdentityRemoved, removed)
             .good() &&
         removed == "YES" &&
         dataset->tagExists(DCM_DeidentificationMethodCodeSequence);
}

bool IsDeidentified(const FolderKey& key, DcmFileFormat* original,
                    DcmFileFormat* copy) {
  const DatasetText text(original->getDataset());
  std::string idBytes, id, nameBytes, name;
  text.FirstValue(DCM_PatientID, &idBytes, &id);
  text.FirstValue(DCM_PatientName, &nameBytes, &name);
  Deidentify(key, id, name, original);
  // The patient names are the pseudonym, or not: told by the rest.
  DcmFileFormat other(*copy);
  return SameButPatientName(original, &other) &&
         HoldsRecordedName(copy->getDataset(), key.Pseudonym(id, name));
}
