// How deeply a file's sequences can nest, found without parsing it. The
// DCMTK's reader, writer and destructor recurse once per level, so a file
// nested deeper than any stack holds must never reach them.
#ifndef VEILMARK_DICOM_NESTING_BOUND_H_
#define VEILMARK_DICOM_NESTING_BOUND_H_

#include <string>

#include "platform/system/source_file.h"

// Nesting levels DCMTK is trusted with on a stack of kLargeStackBytes:
// a level takes about 1.5 KiB there, up to 4 KiB with sanitizers.
constexpr unsigned long kMaxNestingLevels = 100000;

// kWithin: at most `limit` levels.
enum class Nesting { kWithin, kTooDeep, kUnreadable };

// Every nested item starts with an item tag, so the number of item tags in
// the dataset's bytes (inflated, for the deflated transfer syntax) bounds
// the depth. Only files big enough to hold more than `limit` item tags are
// read through. kUnreadable comes with the reason in `error`.
Nesting CheckNesting(const SourceFile& file, unsigned long limit,
                     std::string* error);

#endif  // VEILMARK_DICOM_NESTING_BOUND_H_
