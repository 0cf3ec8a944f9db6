#pragma once

#include <QTest>

// Runs a test helper; when one of its checks failed, the test function ends
// there too.
#define CHECKED(call)                                                                                                  \
    do {                                                                                                               \
        call;                                                                                                          \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)
