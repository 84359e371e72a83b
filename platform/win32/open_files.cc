#include "platform/system/open_files.h"

// A Windows process may hold as many handles as memory allows (the handle
// table goes to some sixteen million), and the originals a run keeps open
// are handles. The C runtime's own limit (_getmaxstdio) counts only its
// FILE streams, which DCMTK opens a few of per worker while it reads or
// writes a file, and never holds for a waiting file.
unsigned long long OpenFileLimit() { return 0; }
