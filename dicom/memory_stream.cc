#include "dicom/memory_stream.h"

namespace {

// Makes streams over the same bytes, from one position on.
class MemoryStreamFactory : public DcmInputStreamFactory {
 public:
  MemoryStreamFactory(const char* data, size_t size, offile_off_t offset)
      : data_(data), size_(size), offset_(offset) {}
  DcmInputStream* create() const override {
    auto* stream = new MemoryInputStream(data_, size_);
    stream->skip(offset_);
    return stream;
  }
  DcmInputStreamFactory* clone() const override {
    return new MemoryStreamFactory(*this);
  }
  // Seekable and always there, as a file is.
  DcmInputStreamFactoryType ident() const override {
    return DFT_DcmInputFileStreamFactory;
  }

 private:
  const char* data_;
  size_t size_;
  offile_off_t offset_;
};

}  // namespace

MemoryInputStream::MemoryInputStream(const char* data, size_t size)
    : data_(data), size_(size) {
  setBuffer(data, static_cast<offile_off_t>(size));
  setEos();
  unfiltered_ = currentProducer();
}

DcmInputStreamFactory* MemoryInputStream::newFactory() const {
  if (currentProducer() != unfiltered_) return nullptr;
  return new MemoryStreamFactory(data_, size_, tell());
}
