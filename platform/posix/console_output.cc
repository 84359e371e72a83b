#include "platform/system/console_output.h"

#include <cstdio>

bool WriteOutput(Output to, const std::string& utf8) {
  std::FILE* stream = to == Output::kStandard ? stdout : stderr;
  return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() &&
         std::fflush(stream) == 0;
}
