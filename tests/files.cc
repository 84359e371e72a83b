#include "tests/files.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcostrmb.h"
#include "key/record_file.h"
#include "platform/system/dicom_file_name.h"
#include "platform/system/path_separator.h"

namespace fs = std::filesystem;

std::string Join(const std::string& folder, const std::string& name) {
  return folder + kPathSeparator + name;
}

fs::path FsPath(const std::string& utf8) { return fs::u8path(utf8); }

std::string ReadBytes(const std::string& path) {
  // Read in one piece: growing a buffer step by step is slow under the
  // sanitizers, and the tests read files of several megabytes many times.
  // Anything but a regular file reads as empty (and a FIFO is not opened).
  std::error_code error;
  const fs::path file = FsPath(path);
  if (!fs::is_regular_file(file, error)) return "";
  std::ifstream in(file, std::ios::binary);
  std::string bytes(static_cast<size_t>(fs::file_size(file, error)), '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(FsPath(path), std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void RemoveEntry(const std::string& path) {
  std::error_code error;
  fs::remove(FsPath(path), error);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::symlink_status(FsPath(path), error).type() !=
         fs::file_type::not_found;
}

std::vector<std::string> Names(const std::string& folder, bool imaOnly) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(FsPath(folder), error)) {
    const std::string name = entry.path().filename().u8string();
    std::string end = name.substr(name.size() < 4 ? 0 : name.size() - 4);
    for (char& c : end) c = (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    if (!imaOnly || end == ".ima") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

Rows RecordRows(const std::string& text) {
  std::vector<RecordEntry> entries;
  ParseRecordText(text, &entries);
  Rows rows;
  for (const RecordEntry& e : entries) {
    rows.push_back(
        e.parsed ? std::vector<std::string>{e.oldFile.str(), e.newFile.str(),
                                            e.oldName.str(), e.newName.str()}
                 : std::vector<std::string>{});
  }
  return rows;
}

std::string RawDeflate(const std::string& bytes) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8,
               Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, bytes.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::string DatasetWithoutPatientName(const std::string& path) {
  DcmFileFormat file;
  if (file.loadFile(DicomFileName(path)).bad()) return "";
  DcmDataset* dataset = file.getDataset();
  E_TransferSyntax xfer = dataset->getOriginalXfer();
  delete dataset->remove(DCM_PatientName);
  std::string out = DcmXfer(xfer).getXferName() + std::string("\n");
  char piece[65536];
  DcmOutputBufferStream stream(piece, sizeof piece);
  auto take = [&] {
    void* data;
    offile_off_t length;
    stream.flushBuffer(data, length);
    out.append(static_cast<char*>(data), static_cast<size_t>(length));
  };
  dataset->transferInit();
  OFCondition written;
  do {
    written = dataset->write(stream, xfer, EET_ExplicitLength, nullptr,
                             EGL_withoutGL);
    take();
  } while (written == EC_StreamNotifyClient);
  dataset->transferEnd();
  for (stream.flush(); !stream.isFlushed(); stream.flush()) take();
  take();
  return written.good() ? out : "";
}

namespace {

std::string Value(const std::string& path, const DcmTagKey& key) {
  DcmFileFormat file;
  OFString value;
  if (file.loadFile(DicomFileName(path)).bad() ||
      file.getDataset()->findAndGetOFStringArray(key, value).bad()) {
    return "";
  }
  return std::string(value.c_str(), value.length());
}

}  // namespace

std::string StoredPatientName(const std::string& path) {
  std::string name = Value(path, DCM_PatientName);
  return name.empty() ? "<unreadable>" : name;
}

std::string InstanceUid(const std::string& path) {
  return Value(path, DCM_SOPInstanceUID);
}

std::map<std::string, std::string> Datasets(const std::string& folder) {
  std::map<std::string, std::string> datasets;
  for (const std::string& name : Names(folder, true)) {
    const std::string path = Join(folder, name);
    datasets[name] =
        StoredPatientName(path) + "\n" + DatasetWithoutPatientName(path);
  }
  return datasets;
}

namespace {

struct TextLog : RunLog {
  void Add(const LogLine& line) override {
    text += (line.error ? "ERROR:" : "") + line.message.str() + "\r\n";
  }
  std::string text;
};

}  // namespace

LoggedRun RunLogged(const std::string& folder, const RunOptions& options) {
  TextLog log;
  RunResult result = FolderRun(folder.c_str(), &log, options).Run();
  return {log.text, result};
}
