#include "pipeline/file_job.h"

#include <cstdarg>

#include "platform/system/path_separator.h"

void FileJob::AddError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString message;
  message.FormatV(format, args);
  va_end(args);
  lines.push_back({true, message});
  failed = true;
}

void FileJob::SaveFailed(const CString& folder) {
  AddError("Couldn't save new file: %s",
           static_cast<LPCTSTR>(folder + kPathSeparator + meantName));
}
