// GUI tests wait for what they need (a layout, a posted commit, a timer's report), never for a
// fixed number of milliseconds: WaitUntil processes events until condition holds, for at most
// five seconds. It reports nothing itself; the checks after it say what did not happen.
#pragma once

#include <QTest>

namespace velmora::test_support {

template <class TCondition>
void WaitUntil(TCondition condition) {
    static_cast<void>(QTest::qWaitFor(condition));
}

}  // namespace velmora::test_support
