#include "platform/system/source_file.h"

#include <algorithm>
#include <cstring>

bool SourceFile::ReadWhole(std::string* buffer, std::string* error) {
  buffer->resize(size_);
  size_t done = 0;
  while (done < buffer->size()) {
    const long n = ReadFromFile(done, &(*buffer)[done],
                                static_cast<unsigned long>(std::min<size_t>(
                                    buffer->size() - done, 1u << 30)),
                                error);
    if (n < 0) return false;
    if (n == 0) break;  // cut short since it was opened
    done += static_cast<size_t>(n);
  }
  buffer->resize(done);
  whole_ = buffer;
  return true;
}

long SourceFile::ReadAt(unsigned long long offset, void* buffer,
                        unsigned long count) const {
  if (whole_) {
    if (offset >= whole_->size()) return 0;
    size_t n = std::min<size_t>(count, whole_->size() - offset);
    std::memcpy(buffer, whole_->data() + offset, n);
    return static_cast<long>(n);
  }
  return ReadFromFile(offset, buffer, count, nullptr);
}
