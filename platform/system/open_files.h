// How many files the process may hold open at once.
#ifndef VEILMARK_PLATFORM_SYSTEM_OPEN_FILES_H_
#define VEILMARK_PLATFORM_SYSTEM_OPEN_FILES_H_

// The limit on the files this process may have open at the same time, or 0
// when it has none short of memory (or none could be learnt).
unsigned long long OpenFileLimit();

#endif  // VEILMARK_PLATFORM_SYSTEM_OPEN_FILES_H_
