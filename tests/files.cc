#include "tests/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

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
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> Names(const std::string& folder, bool imaOnly) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (imaOnly && (name.size() < 4 ||
                      strcasecmp(name.c_str() + name.size() - 4, ".ima"))) {
        continue;
      }
      names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ParseRecord(const std::string& text, Rows* rows, bool cutLineAllowed) {
  rows->clear();
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, open = false;  // in quotes; a row under way
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    open = true;
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += c;
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(field);
      rows->push_back(row);
      row.clear();
      field.clear();
      open = false;
      ++i;
    } else if (c == '"' || c == '\r' || c == '\n') {
      return false;
    } else {
      field += c;
    }
  }
  if (!open) return true;
  row.push_back(field);
  rows->push_back(row);
  return cutLineAllowed;
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
