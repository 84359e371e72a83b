// Between the fault harness's common part (tests/faults.cc) and the calls
// it stands in front of on each system (tests/posix/faults.cc,
// tests/win32/faults.cc).
#ifndef VEILMARK_TESTS_FAULT_CALLS_H_
#define VEILMARK_TESTS_FAULT_CALLS_H_

#include "tests/faults.h"

namespace faults {

// Whether calls are looked at now by this thread: false while no scope and
// no VEILMARK_FAULTS is set, and for the calls the hook itself makes.
bool Watching();

// Takes `call` through the hold, VEILMARK_FAULTS and the hook: 0 when it
// goes on, or the errno value it is to fail with.
int Check(const Call& call);

// What VEILMARK_FAULTS asks for at its call, on this system: kill the
// process (signal 9) or send it `signal`.
void Deliver(int signal);

}  // namespace faults

#endif  // VEILMARK_TESTS_FAULT_CALLS_H_
