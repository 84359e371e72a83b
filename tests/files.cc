#include "tests/files.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "anonymize/record_file.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcostrmb.h"

std::string ReadBytes(const std::string& path) {
  // Read in one piece: growing a buffer step by step is slow under the
  // sanitizers, and the tests read files of several megabytes many times.
  // Anything but a regular file reads as empty.
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = read(fd, &bytes[done], bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
  }
  if (fd >= 0) close(fd);
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() !=
         std::filesystem::file_type::not_found;
}

std::vector<std::string> Names(const std::string& folder, bool imaOnly) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!imaOnly || (name.size() >= 4 &&
                     strcasecmp(name.c_str() + name.size() - 4, ".ima") == 0)) {
      names.push_back(name);
    }
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

std::string DatasetWithoutPatientName(const std::string& path) {
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return "";
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
  if (file.loadFile(path.c_str()).bad() ||
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
    const std::string path = folder + "/" + name;
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
