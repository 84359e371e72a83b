#include "anonymize/element_value.h"

#include "dcmtk/dcmdata/dcelem.h"

bool ReadFirstValue(DcmItem* item, const DcmTagKey& key, CString* value) {
  DcmElement* element = nullptr;
  if (item->findAndGetElement(key, element, OFFalse).bad() || !element) {
    return false;
  }
  // Look at the length before the value is read: reading a value of blanks
  // only sets it to 0, and such a value is an empty value, not a missing one.
  if (element->getLengthField() == 0) return false;
  OFString text;
  if (item->findAndGetOFString(key, text, 0, OFFalse).bad()) return false;
  *value = CString(text.c_str(), static_cast<int>(text.length()));
  return true;
}
