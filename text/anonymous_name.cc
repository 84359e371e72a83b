#include "text/anonymous_name.h"

#include "text/unicode_text.h"

CString MakeAnonymousName(const std::string& patientName,
                          const std::string& studyDate) {
  // "ANON%c%c%s", of whole characters as a reader sees them: a base with
  // its combining marks.
  return CString(
      "ANON" + patientName.substr(0, FirstCharacterEnd(patientName)) +
      patientName.substr(LastCharacterStart(patientName)) + studyDate);
}

bool UsableAsFileName(const CString& name) {
  const std::string& text = name.str();
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (c < 0x20 || c == 0x7F || c1 ||
        std::string("/\\:*?\"<>|").find(static_cast<char>(c)) !=
            std::string::npos) {
      return false;
    }
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
