// The separator that joins a folder and a name in this platform's paths, as
// the program writes them and shows them in its log: "FOLDER/NAME" here,
// "FOLDER\NAME" on Windows, whatever the folder ends with.
#ifndef VEILMARK_PLATFORM_SYSTEM_PATH_SEPARATOR_H_
#define VEILMARK_PLATFORM_SYSTEM_PATH_SEPARATOR_H_

// kPathSeparators: every character that separates them; Windows takes
// "/" as well.
#ifdef _WIN32
constexpr char kPathSeparator[] = "\\";
constexpr char kPathSeparators[] = "/\\";
#else
constexpr char kPathSeparator[] = "/";
constexpr char kPathSeparators[] = "/";
#endif

#endif  // VEILMARK_PLATFORM_SYSTEM_PATH_SEPARATOR_H_
