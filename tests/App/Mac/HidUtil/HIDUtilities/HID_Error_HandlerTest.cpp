// The error reporters' formatting.
#include "ReportedErrors.h"

#include <IOKit/IOReturn.h>

#include <gtest/gtest.h>


using Reports = std::vector<std::string>;

//==============================================================================
// Faults guarded against: a number shown unsigned or in upper case, a message
// taken as a format, a long or missing message overrunning the buffer.

TEST(HIDErrorHandler, NumberedReportsShowTheNumberSignedAndInLowerCaseHex)
{
    ReportedErrors errors;
    HIDReportErrorNum("Could not dequeue device.", kIOReturnError);
    HIDReportErrorNum("Failed to create queue via create", 0);
    EXPECT_EQ(errors.take(), (Reports { "Could not dequeue device. #-536870212 (0xe00002bc)",
                                        "Failed to create queue via create #0 (0x0)" }));
}

TEST(HIDErrorHandler, TheMessageIsNeverTakenAsAFormat)
{
    ReportedErrors errors;
    HIDReportError("100%s %d %n sure");
    HIDReportErrorNum("%x", 255);
    EXPECT_EQ(errors.take(), (Reports { "100%s %d %n sure", "%x #255 (0xff)" }));
}

TEST(HIDErrorHandler, LongOrMissingMessagesAreCutOrEmpty)
{
    ReportedErrors errors;
    const std::string longMessage(1000, 'm');
    HIDReportError(longMessage.c_str());
    HIDReportErrorNum(longMessage.c_str(), -1);
    HIDReportError(nullptr);
    HIDReportErrorNum(nullptr, 1);
    EXPECT_EQ(errors.take(), (Reports { std::string(255, 'm'), std::string(255, 'm'), "", " #1 (0x1)" }));
}
