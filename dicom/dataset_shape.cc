#include "dicom/dataset_shape.h"

#include "dcmtk/dcmdata/dcelem.h"
#include "dcmtk/dcmdata/dcpixseq.h"
#include "dcmtk/dcmdata/dcpxitem.h"
#include "dcmtk/dcmdata/dcsequen.h"

namespace {

void AddObject(DcmObject* object, int depth, DatasetShape* shape);

void AddItem(DcmItem* item, int depth, DatasetShape* shape) {
  for (unsigned long i = 0; i < item->card(); ++i) {
    DcmElement* element = item->getElement(i);
    if (element && element->getTag().getElement() != 0x0000) {
      AddObject(element, depth, shape);
    }
  }
}

void AddSequence(DcmSequenceOfItems* sequence, int depth, DatasetShape* shape) {
  const bool pixels = sequence->ident() == EVR_pixelSQ;
  for (unsigned long i = 0; i < sequence->card(); ++i) {
    if (pixels) {
      // Fragments of encapsulated pixel data are values, not items.
      DcmPixelItem* fragment = nullptr;
      static_cast<DcmPixelSequence*>(sequence)->getItem(fragment, i);
      if (fragment) AddObject(fragment, depth, shape);
    } else if (DcmItem* item = sequence->getItem(i)) {
      AddObject(item, depth, shape);
    }
  }
}

void AddObject(DcmObject* object, int depth, DatasetShape* shape) {
  const DcmTag& tag = object->getTag();
  const DcmEVR kind = object->ident();
  switch (kind) {
    case EVR_item:
    case EVR_dirRecord:
      shape->push_back({depth, tag.getGroup(), tag.getElement(), kind,
                        static_cast<DcmItem*>(object)->card()});
      AddItem(static_cast<DcmItem*>(object), depth + 1, shape);
      break;
    case EVR_SQ:
    case EVR_pixelSQ:
      shape->push_back({depth, tag.getGroup(), tag.getElement(), kind,
                        static_cast<DcmSequenceOfItems*>(object)->card()});
      AddSequence(static_cast<DcmSequenceOfItems*>(object), depth + 1, shape);
      break;
    default:
      shape->push_back(
          {depth, tag.getGroup(), tag.getElement(), kind, object->getLength()});
  }
}

}  // namespace

DatasetShape ShapeOf(DcmItem* dataset) {
  DatasetShape shape;
  AddItem(dataset, 0, &shape);
  return shape;
}
