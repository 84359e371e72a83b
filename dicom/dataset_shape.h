// The shape of a dataset: its elements at every level, in order, each with
// its kind and value length (group length elements aside). Two datasets of
// the same shape hold the same elements with values of the same lengths.
#ifndef VEILMARK_DICOM_DATASET_SHAPE_H_
#define VEILMARK_DICOM_DATASET_SHAPE_H_

#include <vector>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"

struct ShapeEntry {
  int depth;
  Uint16 group;
  Uint16 element;
  int kind;            // DCMTK's DcmEVR
  unsigned long size;  // value length, or number of items of a sequence

  bool operator==(const ShapeEntry& o) const {
    return depth == o.depth && group == o.group && element == o.element &&
           kind == o.kind && size == o.size;
  }
};
using DatasetShape = std::vector<ShapeEntry>;

// Reads no large value into memory.
DatasetShape ShapeOf(DcmItem* dataset);

#endif  // VEILMARK_DICOM_DATASET_SHAPE_H_
