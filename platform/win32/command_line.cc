#include "platform/system/command_line.h"

#include "platform/win32/system.h"
#include "platform/win32/windows_api.h"

// main()'s own arguments are in the ANSI code page, which cannot hold every
// name; the system keeps the command line in UTF-16.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(win32::WideToUtf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}
