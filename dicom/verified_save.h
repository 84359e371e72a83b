// Reading an original and saving its anonymized dataset so that the result
// is complete and checked before anyone relies on it.
//
// A file of up to kWholeFileBytes is read whole and its copy made in
// memory: a handful of system calls each. A larger one is read as the
// DCMTK reads files: values above 4096 bytes stay in the original until
// they are written to the copy, so memory stays flat whatever the size.
#ifndef VEILMARK_DICOM_VERIFIED_SAVE_H_
#define VEILMARK_DICOM_VERIFIED_SAVE_H_

#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "platform/system/source_file.h"

constexpr unsigned long long kWholeFileBytes = 2ull << 20;
inline bool ReadInWhole(const SourceFile& source) {
  return source.Size() <= kWholeFileBytes;
}

// Loads the original `source` into `file`, with or without a meta header.
// One that ReadInWhole takes must have been read whole.
OFCondition LoadOriginal(const SourceFile& source, DcmFileFormat* file);

// Opens the file at `path`, pinned in `source`, and loads it into `file`:
// only a regular file, read whole into `whole` when ReadInWhole takes it
// (the caller keeps `whole` until it is done with `file` and `source`), and
// never one nested deeper than DCMTK is trusted with. False with the reason
// in `reason`. DCMTK recurses once per nesting level: call it on a large
// stack.
bool OpenAndLoad(const std::string& path, SourceFile* source,
                 std::string* whole, DcmFileFormat* file, std::string* reason);

// Saves `file`, loaded from `source`, in transfer syntax `xfer` to a new
// temporary file in `folder`, and checks that the copy reads back as the
// dataset was before the save, and gives it the original's access. Returns
// the copy's path in `tempPath`; on failure nothing is left behind.
bool SaveVerifiedCopy(const SourceFile& source, DcmFileFormat* file,
                      E_TransferSyntax xfer, const std::string& folder,
                      std::string* tempPath);

// The same with another access (FileAccess(): its owner's alone) and
// `mode` of writing the file meta header: a new one, say.
bool SaveVerifiedFile(const SourceFile& source, DcmFileFormat* file,
                      E_TransferSyntax xfer, E_FileWriteMode mode,
                      const std::string& folder, const FileAccess& access,
                      std::string* tempPath);

// The check SaveVerifiedCopy makes, without writing anything: for a file
// read whole, the copy is made and read back in memory; a larger one is
// taken to pass, since only its copy on disk could tell.
bool CopyWouldVerify(const SourceFile& source, DcmFileFormat* file,
                     E_TransferSyntax xfer);

#endif  // VEILMARK_DICOM_VERIFIED_SAVE_H_
