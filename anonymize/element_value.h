// Reading the two elements an anonymous name is made from.
#ifndef VEILMARK_ANONYMIZE_ELEMENT_VALUE_H_
#define VEILMARK_ANONYMIZE_ELEMENT_VALUE_H_

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"
#include "platform/cstring.h"

// Reads the first value of the top-level element `key` of `item`, trailing
// blanks removed, leading blanks kept. False when the element is absent or
// its length in the file is 0; a value of blanks only reads as empty.
bool ReadFirstValue(DcmItem* item, const DcmTagKey& key, CString* value);

#endif  // VEILMARK_ANONYMIZE_ELEMENT_VALUE_H_
