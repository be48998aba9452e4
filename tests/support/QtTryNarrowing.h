// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// From Qt 6.7 on, the QTRY_* macros take their timeout as
// std::chrono::milliseconds and store its count (a long) in an int inside the
// macro, so -Wconversion flags every use in our code with Qt 6.8 (Debian 13).
// This is the same wait with the narrowing spelled out: the timeouts the tests
// give are seconds, far inside an int. Qt 6.4 (Debian 12) keeps its own.
// Every test gets this header first (tests/CMakeLists.txt); support headers
// that wait include it themselves.
#include <QtTest/qtestcase.h>

#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
#undef QTRY_IMPL
#define QTRY_IMPL(expr, timeoutAsGiven)                                                            \
    const auto qt_test_timeoutAsMs = [&] {                                                         \
        using namespace std::chrono_literals;                                                      \
        return std::chrono::milliseconds{timeoutAsGiven};                                          \
    }();                                                                                           \
    const int qt_test_timeoutValue = static_cast<int>(qt_test_timeoutAsMs.count());                \
    const int qt_test_step = qt_test_timeoutValue < 350 ? qt_test_timeoutValue / 7 + 1 : 50;       \
    {QTRY_LOOP_IMPL(expr, qt_test_timeoutValue, qt_test_step)} QTRY_TIMEOUT_DEBUG_IMPL(            \
        expr, qt_test_timeoutValue, qt_test_step)
#endif
