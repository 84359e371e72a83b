#include "anonymize/verified_save.h"

#include "anonymize/dataset_shape.h"
#include "dcmtk/dcmdata/dcistrmb.h"
#include "dcmtk/dcmdata/dcostrmb.h"
#include "dcmtk/dcmdata/dcwcache.h"
#include "platform/durable_file.h"

namespace {

constexpr Uint32 kMaxReadLength = 4096;

// Reads `bytes` as a whole file into `file`, as loadFile reads one.
OFCondition LoadFromMemory(const std::string& bytes, E_FileReadMode mode,
                           DcmFileFormat* file) {
  DcmInputBufferStream stream;
  stream.setBuffer(bytes.data(), static_cast<offile_off_t>(bytes.size()));
  stream.setEos();
  file->setReadMode(mode);
  file->transferInit();
  OFCondition read =
      file->read(stream, EXS_Unknown, EGL_noChange, kMaxReadLength);
  file->transferEnd();
  stream.releaseBuffer();
  return read;
}

// Writes `file` as saveFile writes it, into `bytes`.
OFCondition SaveToMemory(DcmFileFormat* file, E_TransferSyntax xfer,
                         std::string* bytes) {
  char chunk[64 * 1024];
  DcmOutputBufferStream stream(chunk, sizeof chunk);
  auto take = [&] {
    void* data = nullptr;
    offile_off_t length = 0;
    stream.flushBuffer(data, length);
    bytes->append(static_cast<const char*>(data), static_cast<size_t>(length));
    return length;
  };
  DcmWriteCache cache;
  file->transferInit();
  OFCondition written;
  do {
    written = file->write(stream, xfer, EET_UndefinedLength, &cache,
                          EGL_recalcGL, EPD_noChange, 0, 0, 0, EWM_fileformat);
    take();
  } while (written == EC_StreamNotifyClient);
  file->transferEnd();
  // A deflated dataset still sits partly in the compressor.
  for (stream.flush(); !stream.isFlushed(); stream.flush()) {
    if (take() == 0) return EC_StreamNotifyClient;
  }
  take();
  return written;
}

}  // namespace

OFCondition LoadOriginal(const SourceFile& source, DcmFileFormat* file) {
  if (ReadInWhole(source)) {
    return LoadFromMemory(source.Bytes(), ERM_autoDetect, file);
  }
  return file->loadFile(source.ReadPath().c_str(), EXS_Unknown, EGL_noChange,
                        kMaxReadLength, ERM_autoDetect);
}

bool SaveVerifiedCopy(const SourceFile& source, DcmFileFormat* file,
                      E_TransferSyntax xfer, const std::string& folder,
                      std::string* tempPath) {
  // Values above the read limit are copied from the old file during the
  // save; one that cannot be read then is written, and left in memory, as
  // empty, while the save still succeeds. Only the copy, held against the
  // dataset as it was before the save, tells.
  DatasetShape before = ShapeOf(file->getDataset());
  std::string error;
  if (ReadInWhole(source)) {
    std::string bytes;
    bytes.reserve(source.Size() + 4096);
    DcmFileFormat reread;
    return SaveToMemory(file, xfer, &bytes).good() &&
           LoadFromMemory(bytes, ERM_fileOnly, &reread).good() &&
           ShapeOf(reread.getDataset()) == before &&
           WriteTempFile(folder, bytes, tempPath, &error);
  }
  if (!CreateTempFile(folder, tempPath, &error)) return false;
  OFCondition saved =
      file->saveFile(tempPath->c_str(), xfer, EET_UndefinedLength, EGL_recalcGL,
                     EPD_noChange, 0, 0, EWM_fileformat);
  bool verified = false;
  if (saved.good()) {
    DcmFileFormat reread;
    OFCondition loaded =
        reread.loadFile(tempPath->c_str(), EXS_Unknown, EGL_noChange,
                        kMaxReadLength, ERM_fileOnly);
    verified = loaded.good() && ShapeOf(reread.getDataset()) == before;
  }
  if (!verified) RemoveFile(*tempPath);
  return verified;
}
