// Reading the elements an anonymous name is made from, as they are stored.
#ifndef VEILMARK_TEXT_ELEMENT_VALUE_H_
#define VEILMARK_TEXT_ELEMENT_VALUE_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"

// The value of the top-level element `key` of `item` as stored, all its
// values with their separators: the text of a string element without its
// trailing padding, or the bytes of an element of unknown value
// representation (UN, as an explicit VR file holds an element its writer
// did not know), which are the text the element's own VR would read. False
// when the element is absent, its length in the file is 0, or it holds
// neither text nor bytes.
bool ReadStoredValue(DcmItem* item, const DcmTagKey& key, std::string* value);

#endif  // VEILMARK_TEXT_ELEMENT_VALUE_H_
