#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

namespace qle::testing {

// A helper process is killed when the test process dies, even by a crash or
// a sanitizer's abort: left running, it would hold the test's output open
// and ctest would wait for it until the time-out.
inline void endWithThisProcess(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

} // namespace qle::testing
