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
