// Base of the tests whose platform callbacks come on this thread's run loop
// whenever the test dispatches it, whichever device source sends them.
#pragma once

#include <gtest/gtest.h>

#include <functional>

namespace kvxtest
{

class RunLoopTest : public ::testing::Test
{
protected:
    // Leaves nothing on the run loop for the next test.
    ~RunLoopTest() override;

    // Delivers every callback that is due on this thread, including those that
    // the delivered ones caused.
    static void dispatchRunLoop();

    // Dispatches, waiting for work that other threads post, until done() holds;
    // false when it still does not after some seconds without any work.
    static bool dispatchRunLoopUntil(const std::function<bool()>& done);
};

} // namespace kvxtest
