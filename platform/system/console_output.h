// Text for the user on standard output or standard error, written at once.
#ifndef VEILMARK_PLATFORM_SYSTEM_CONSOLE_OUTPUT_H_
#define VEILMARK_PLATFORM_SYSTEM_CONSOLE_OUTPUT_H_

#include <string>

enum class Output { kStandard, kError };

// Writes `utf8` to `to` and flushes it, so that a reader sees each line as
// it comes. The bytes go out as they are, except to a Windows console,
// which is given the characters they encode. False when it could not be
// written.
bool WriteOutput(Output to, const std::string& utf8);

#endif  // VEILMARK_PLATFORM_SYSTEM_CONSOLE_OUTPUT_H_
