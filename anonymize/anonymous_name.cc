#include "anonymize/anonymous_name.h"

CString MakeAnonymousName(const CString& patientName,
                          const CString& studyDate) {
  // "ANON%c%c%s", built byte by byte so that no byte of the values is lost.
  const std::string& name = patientName.str();
  return CString("ANON") + CString(&name.front(), 1) +
         CString(&name.back(), 1) + studyDate;
}

bool UsableAsFileName(const CString& name) {
  for (unsigned char c : name.str()) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

bool FileExtension(const CString& fileName, CString* extension) {
  int dot = fileName.Find('.');
  if (dot < 0) return false;
  *extension = fileName.Mid(dot);
  return true;
}

CString NumberedFileName(const CString& anonymousName, const CString& extension,
                         int number) {
  if (number <= 1) return anonymousName + extension;
  CString suffix;
  suffix.Format("_%d", number);
  return anonymousName + suffix + extension;
}

bool IsNumberedName(const CString& fileName, const CString& anonymousName,
                    const CString& extension) {
  const std::string& name = fileName.str();
  const std::string& stem = anonymousName.str();
  const std::string& tail = extension.str();
  if (name.size() < stem.size() + tail.size() ||
      name.compare(0, stem.size(), stem) != 0 ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  std::string number =
      name.substr(stem.size(), name.size() - stem.size() - tail.size());
  if (number.empty()) return true;
  if (number.size() < 2 || number[0] != '_' || number[1] == '0') return false;
  return number.find_first_not_of("0123456789", 1) == std::string::npos;
}
