#include "dicom/same_dataset.h"

#include <algorithm>
#include <memory>
#include <string>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcostrmb.h"
#include "dcmtk/dcmdata/dcwcache.h"

namespace {

constexpr offile_off_t kPieceBytes = 64 * 1024;

// A dataset's encoding, handed out a piece at a time: explicit lengths and
// no group lengths, so that two encodings of one dataset are equal.
class Encoding {
 public:
  Encoding(DcmDataset* dataset, E_TransferSyntax xfer)
      : dataset_(dataset),
        xfer_(xfer),
        buffer_(new char[kPieceBytes]),
        stream_(buffer_.get(), kPieceBytes) {
    dataset_->transferInit();
  }
  ~Encoding() { dataset_->transferEnd(); }

  // Adds the next piece to `out`; false once everything is out, or the
  // encoding failed.
  bool Next(std::string* out) {
    if (done_) return false;
    OFCondition written = dataset_->write(stream_, xfer_, EET_ExplicitLength,
                                          &cache_, EGL_withoutGL);
    if (written != EC_StreamNotifyClient) {
      done_ = true;
      failed_ = written.bad();
      stream_.flush();
    }
    void* data = nullptr;
    offile_off_t length = 0;
    stream_.flushBuffer(data, length);
    out->append(static_cast<const char*>(data), static_cast<size_t>(length));
    return true;
  }
  bool failed() const { return failed_; }

 private:
  DcmDataset* dataset_;
  E_TransferSyntax xfer_;
  std::unique_ptr<char[]> buffer_;
  DcmOutputBufferStream stream_;
  DcmWriteCache cache_;
  bool done_ = false, failed_ = false;
};

}  // namespace

bool SameButPatientName(DcmFileFormat* a, DcmFileFormat* b) {
  DcmDataset* first = a->getDataset();
  DcmDataset* second = b->getDataset();
  E_TransferSyntax xfer = first->getOriginalXfer();
  if (xfer != second->getOriginalXfer()) return false;
  // The same content deflated twice need not give the same bytes.
  if (xfer == EXS_DeflatedLittleEndianExplicit) xfer = EXS_LittleEndianExplicit;
  delete first->remove(DCM_PatientName);
  delete second->remove(DCM_PatientName);

  Encoding left(first, xfer), right(second, xfer);
  std::string leftBytes, rightBytes;
  bool leftMore = true, rightMore = true;
  while (leftMore || rightMore) {
    if (leftMore && leftBytes.size() <= rightBytes.size()) {
      leftMore = left.Next(&leftBytes);
    } else if (rightMore) {
      rightMore = right.Next(&rightBytes);
    } else {
      leftMore = left.Next(&leftBytes);
    }
    const size_t common = std::min(leftBytes.size(), rightBytes.size());
    if (leftBytes.compare(0, common, rightBytes, 0, common) != 0) return false;
    leftBytes.erase(0, common);
    rightBytes.erase(0, common);
  }
  return !left.failed() && !right.failed() && leftBytes.empty() &&
         rightBytes.empty();
}
