// A DICOM input stream over bytes in memory that, like a file stream, can
// say where a value starts, so that DCMTK leaves values above the
// read limit where they are: no copy of them is made until they are
// written, and a length that runs past the end is found at once, not
// after reserving memory for it.
#ifndef VEILMARK_DICOM_MEMORY_STREAM_H_
#define VEILMARK_DICOM_MEMORY_STREAM_H_

#include <cstddef>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcistrmb.h"

class MemoryInputStream : public DcmInputBufferStream {
 public:
  // The bytes must stay while the stream, or any value read from it and
  // left in it, is in use.
  MemoryInputStream(const char* data, size_t size);

  // None once a filter (the inflater of a deflated dataset) is installed:
  // positions then no longer count bytes of `data`.
  DcmInputStreamFactory* newFactory() const override;

 private:
  const char* data_;
  size_t size_;
  const DcmProducer* unfiltered_;
};

#endif  // VEILMARK_DICOM_MEMORY_STREAM_H_
