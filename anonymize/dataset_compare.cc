#include "anonymize/dataset_compare.h"

#include <vector>

#include "dcmtk/dcmdata/dcelem.h"
#include "dcmtk/dcmdata/dcpixseq.h"
#include "dcmtk/dcmdata/dcpxitem.h"
#include "dcmtk/dcmdata/dcsequen.h"

namespace {

bool SameObject(DcmObject* saved, DcmObject* reread, std::string* why);

std::vector<DcmObject*> ElementsOf(DcmItem* item) {
  std::vector<DcmObject*> elements;
  elements.reserve(item->card());
  for (unsigned long i = 0; i < item->card(); ++i) {
    DcmElement* element = item->getElement(i);
    if (element && element->getTag().getElement() != 0x0000) {
      elements.push_back(element);
    }
  }
  return elements;
}

bool SameItem(DcmItem* saved, DcmItem* reread, std::string* why) {
  std::vector<DcmObject*> a = ElementsOf(saved);
  std::vector<DcmObject*> b = ElementsOf(reread);
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (!SameObject(a[i], b[i], why)) return false;
  }
  if (a.size() != b.size()) {
    *why = "element count " + std::to_string(a.size()) + " written, " +
           std::to_string(b.size()) + " read back";
    return false;
  }
  return true;
}

// The i-th entry of a sequence: an item, or a fragment of encapsulated
// pixel data.
DcmObject* Entry(DcmSequenceOfItems* sequence, unsigned long i) {
  if (sequence->ident() == EVR_pixelSQ) {
    DcmPixelItem* fragment = nullptr;
    static_cast<DcmPixelSequence*>(sequence)->getItem(fragment, i);
    return fragment;
  }
  return sequence->getItem(i);
}

bool SameSequence(DcmSequenceOfItems* saved, DcmSequenceOfItems* reread,
                  std::string* why) {
  if (saved->card() != reread->card()) {
    *why = saved->getTag().toString().c_str() + std::string(": item count");
    return false;
  }
  for (unsigned long i = 0; i < saved->card(); ++i) {
    DcmObject* a = Entry(saved, i);
    DcmObject* b = Entry(reread, i);
    if (!a || !b) {
      *why = saved->getTag().toString().c_str() + std::string(": item lost");
      return false;
    }
    if (!SameObject(a, b, why)) return false;
  }
  return true;
}

bool SameObject(DcmObject* saved, DcmObject* reread, std::string* why) {
  std::string tag = saved->getTag().toString().c_str();
  if (saved->getTag() != reread->getTag() ||
      saved->ident() != reread->ident()) {
    *why = tag + " written, " + reread->getTag().toString().c_str() +
           " read back";
    return false;
  }
  switch (saved->ident()) {
    case EVR_item:
    case EVR_dirRecord:
      return SameItem(static_cast<DcmItem*>(saved),
                      static_cast<DcmItem*>(reread), why);
    case EVR_SQ:
    case EVR_pixelSQ:
      return SameSequence(static_cast<DcmSequenceOfItems*>(saved),
                          static_cast<DcmSequenceOfItems*>(reread), why);
    default:
      if (saved->getLength() != reread->getLength()) {
        *why = tag + ": value length " + std::to_string(saved->getLength()) +
               " written, " + std::to_string(reread->getLength()) +
               " read back";
        return false;
      }
      return true;
  }
}

}  // namespace

bool SameElements(DcmItem* saved, DcmItem* reread, std::string* why) {
  return SameItem(saved, reread, why);
}
