// The program's command line as UTF-8 text.
#ifndef VEILMARK_PLATFORM_SYSTEM_COMMAND_LINE_H_
#define VEILMARK_PLATFORM_SYSTEM_COMMAND_LINE_H_

#include <string>
#include <vector>

// The arguments main() was given, the program's name first, each as UTF-8
// (here: the bytes as they came; on Windows, what the system was given in
// its own characters, converted).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

#endif  // VEILMARK_PLATFORM_SYSTEM_COMMAND_LINE_H_
