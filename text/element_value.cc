#include "text/element_value.h"

#include "dcmtk/dcmdata/dcelem.h"

bool ReadStoredValue(DcmItem* item, const DcmTagKey& key, std::string* value) {
  DcmElement* element = nullptr;
  if (item->findAndGetElement(key, element, OFFalse).bad() || !element) {
    return false;
  }
  // Look at the length before the value is read: reading a value of blanks
  // only sets it to 0, and such a value is an empty value, not a missing one.
  if (element->getLengthField() == 0) return false;
  if (element->isaString()) {
    char* text = nullptr;
    Uint32 length = 0;
    if (element->getString(text, length).bad()) return false;
    value->assign(text ? text : "", text ? length : 0);
    return true;
  }
  Uint8* bytes = nullptr;
  if (element->ident() != EVR_UN || element->getUint8Array(bytes).bad()) {
    return false;
  }
  value->assign(reinterpret_cast<const char*>(bytes),
                bytes ? element->getLength() : 0);
  // Padding, as a string element's is taken off when it is read.
  const size_t end = value->find_last_not_of(std::string(" \0", 2));
  value->erase(end == std::string::npos ? 0 : end + 1);
  return true;
}
