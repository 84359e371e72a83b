#include "dicom/verified_save.h"

#include <memory>

#include "dcmtk/dcmdata/dcostrmb.h"
#include "dcmtk/dcmdata/dcwcache.h"
#include "dicom/dataset_shape.h"
#include "dicom/memory_stream.h"
#include "dicom/nesting_bound.h"
#include "dicom/toolkit_messages.h"
#include "platform/system/dicom_file_name.h"
#include "platform/system/durable_file.h"

namespace {

constexpr Uint32 kMaxReadLength = 4096;
constexpr offile_off_t kPieceBytes = 64 * 1024;

// Reads `size` bytes at `data` as a whole file into `file`, as loadFile
// reads one: values above the read limit stay in the bytes until used.
OFCondition LoadFromMemory(const char* data, size_t size, E_FileReadMode mode,
                           DcmFileFormat* file) {
  MemoryInputStream stream(data, size);
  file->setReadMode(mode);
  file->transferInit();
  OFCondition read =
      file->read(stream, EXS_Unknown, EGL_noChange, kMaxReadLength);
  file->transferEnd();
  return read;
}

// Writes `file` into `out` as saveFile writes a file.
OFCondition SaveToMemory(DcmFileFormat* file, E_TransferSyntax xfer,
                         E_FileWriteMode mode, std::string* out) {
  // The stream writes into a buffer of its own, a piece at a time.
  thread_local std::unique_ptr<char[]> piece(new char[kPieceBytes]);
  DcmOutputBufferStream stream(piece.get(), kPieceBytes);
  auto take = [&] {
    void* data = nullptr;
    offile_off_t length = 0;
    stream.flushBuffer(data, length);
    out->append(static_cast<const char*>(data), static_cast<size_t>(length));
    return length;
  };
  out->clear();
  DcmWriteCache cache;
  file->transferInit();
  OFCondition written;
  do {
    written = file->write(stream, xfer, EET_UndefinedLength, &cache,
                          EGL_recalcGL, EPD_noChange, 0, 0, 0, mode);
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

// Makes the copy in `out` and checks that it reads back as `before`.
bool EncodeVerified(DcmFileFormat* file, E_TransferSyntax xfer,
                    E_FileWriteMode mode, const DatasetShape& before,
                    std::string* out) {
  if (SaveToMemory(file, xfer, mode, out).bad()) return false;
  // Reading the copy back would say again what reading the file said.
  ToolkitMessages quiet;
  DcmFileFormat reread;
  return LoadFromMemory(out->data(), out->size(), ERM_fileOnly, &reread)
             .good() &&
         ShapeOf(reread.getDataset()) == before;
}

// Kept for the thread's next file, as the original's bytes are.
thread_local std::string copy;

}  // namespace

OFCondition LoadOriginal(const SourceFile& source, DcmFileFormat* file) {
  if (ReadInWhole(source)) {
    return LoadFromMemory(source.Bytes().data(), source.Bytes().size(),
                          ERM_autoDetect, file);
  }
  return file->loadFile(DicomFileName(source.ReadPath()), EXS_Unknown,
                        EGL_noChange, kMaxReadLength, ERM_autoDetect);
}

bool OpenAndLoad(const std::string& path, SourceFile* source,
                 std::string* whole, DcmFileFormat* file, std::string* reason) {
  switch (source->Open(path, reason)) {
    case SourceFile::kOpened:
      break;
    case SourceFile::kNotRegular:
      *reason = "not a regular file";
      return false;
    case SourceFile::kFailed:
      return false;
  }
  if (ReadInWhole(*source) && !source->ReadWhole(whole, reason)) return false;
  switch (CheckNesting(*source, kMaxNestingLevels, reason)) {
    case Nesting::kWithin:
      break;
    case Nesting::kTooDeep:
      *reason = "sequences nested too deeply";
      return false;
    case Nesting::kUnreadable:
      return false;
  }
  // Whatever was read before an error is not the whole dataset.
  OFCondition loaded = LoadOriginal(*source, file);
  if (loaded.bad()) *reason = loaded.text();
  return loaded.good();
}

bool SaveVerifiedCopy(const SourceFile& source, DcmFileFormat* file,
                      E_TransferSyntax xfer, const std::string& folder,
                      std::string* tempPath) {
  return SaveVerifiedFile(source, file, xfer, EWM_fileformat, folder,
                          source.Access(), tempPath);
}

bool SaveVerifiedFile(const SourceFile& source, DcmFileFormat* file,
                      E_TransferSyntax xfer, E_FileWriteMode mode,
                      const std::string& folder, const FileAccess& access,
                      std::string* tempPath) {
  // Values above the read limit are copied from the old file during the
  // save; one that cannot be read then is written, and left in memory, as
  // empty, while the save still succeeds. Only the copy, held against the
  // dataset as it was before the save, tells.
  DatasetShape before = ShapeOf(file->getDataset());
  if (ReadInWhole(source)) {
    return EncodeVerified(file, xfer, mode, before, &copy) &&
           WriteTempFile(folder, copy.data(), copy.size(), access, tempPath);
  }
  if (!CreateTempFile(folder, tempPath)) return false;
  OFCondition saved =
      file->saveFile(DicomFileName(*tempPath), xfer, EET_UndefinedLength,
                     EGL_recalcGL, EPD_noChange, 0, 0, mode);
  bool verified = false;
  if (saved.good()) {
    ToolkitMessages quiet;  // as for a copy made in memory
    DcmFileFormat reread;
    OFCondition loaded =
        reread.loadFile(DicomFileName(*tempPath), EXS_Unknown, EGL_noChange,
                        kMaxReadLength, ERM_fileOnly);
    verified = loaded.good() && ShapeOf(reread.getDataset()) == before &&
               GiveAccessAt(*tempPath, access);
  }
  if (!verified) RemoveFile(*tempPath);
  return verified;
}

bool CopyWouldVerify(const SourceFile& source, DcmFileFormat* file,
                     E_TransferSyntax xfer) {
  return !ReadInWhole(source) ||
         EncodeVerified(file, xfer, EWM_fileformat, ShapeOf(file->getDataset()),
                        &copy);
}
