#include "HidrawTestSupport.h"

#include <CoreFoundation/CoreFoundation.h>

#include <array>
#include <atomic>
#include <thread>

using namespace kvxtest;

namespace
{
std::vector<uint8_t> pattern(size_t length, uint8_t first)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

// A report descriptor with report ID 2 on a 7-byte input report.
const std::vector<uint8_t> numberedDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x07, 0x09, 0x20, 0x81, 0x02, 0xC0
};

struct InputReports
{
    // Room for one 64-byte report and a guard band behind it.
    std::array<uint8_t, 80> buffer {};
    std::vector<std::pair<uint32_t, CFIndex>> calls; // report ID, length

    static void received(void* context, IOReturn, void*, IOHIDReportType, uint32_t reportID, uint8_t*, CFIndex length)
    {
        static_cast<InputReports*>(context)->calls.emplace_back(reportID, length);
    }
};

class HidrawReports : public HidrawSuite
{
protected:
    void openDevice(const EmulatedHidDescription& description, uint32_t location)
    {
        controller = &testbed->plugIn(description);
        manager = std::make_unique<OpenManager>();
        device = manager->deviceWith("LocationID", location);
        ASSERT_NE(device, nullptr);
        CFRetain(device);
    }

    void listen(CFIndex bufferSize)
    {
        input.buffer.fill(0xEE);
        IOHIDDeviceRegisterInputReportCallback(device, input.buffer.data(), bufferSize, &InputReports::received, &input);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    void TearDown() override
    {
        if (device != nullptr)
        {
            IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
            CFRelease(device);
        }
        manager.reset();
        HidrawSuite::TearDown();
    }

    EmulatedHidraw* controller = nullptr;
    std::unique_ptr<OpenManager> manager;
    IOHIDDeviceRef device = nullptr;
    InputReports input;
};
} // namespace

// The controller's replies: each lands whole in the buffer, with its own length.
TEST_F(HidrawReports, InputReportsReachTheCallbackWithTheirLengths)
{
    openDevice(controllerOnPort("9"), 0x01900000);
    listen(64);
    controller->sendInputReport(pattern(64, 0xF8));
    controller->sendInputReport(pattern(10, 0x10));

    ASSERT_TRUE(runUntil([&] { return input.calls.size() == 2; }));
    EXPECT_EQ(input.calls[0], std::make_pair(0u, CFIndex(64)));
    EXPECT_EQ(input.calls[1], std::make_pair(0u, CFIndex(10)));
    const auto expected = pattern(10, 0x10);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), input.buffer.begin()));
}

TEST_F(HidrawReports, NumberedReportsArriveLedByTheirID)
{
    auto description = controllerOnPort("1.1");
    description.reportDescriptor = numberedDescriptor;
    openDevice(description, 0x01110000);
    listen(64);
    std::vector<uint8_t> report = { 0x02, 1, 2, 3, 4, 5, 6, 7 };
    controller->sendInputReport(report);

    ASSERT_TRUE(runUntil([&] { return input.calls.size() == 1; }));
    EXPECT_EQ(input.calls[0], std::make_pair(2u, CFIndex(8)));
    EXPECT_TRUE(std::equal(report.begin(), report.end(), input.buffer.begin()));
}

// A device that sends more than announced must not write past the caller's buffer.
TEST_F(HidrawReports, ALongReportNeverOverrunsTheBuffer)
{
    openDevice(controllerOnPort("11"), 0x01B00000);
    listen(16);
    controller->sendInputReport(pattern(70, 0));

    ASSERT_TRUE(runUntil([&] { return input.calls.size() == 1; }));
    const auto expected = pattern(16, 0);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), input.buffer.begin()));
    for (size_t i = 16; i < input.buffer.size(); ++i)
        ASSERT_EQ(input.buffer[i], 0xEE) << "byte " << i << " behind the buffer";
}

// hidraw takes the report ID as the first byte of the one write; a numbered
// report comes to IOHIDDeviceSetReport led by its ID already.
TEST_F(HidrawReports, OutputReportsReachTheDeviceByteExactWithTheirID)
{
    openDevice(controllerOnPort("12"), 0x01C00000);
    const auto data = pattern(64, 0xF0);
    const std::vector<uint8_t> numbered = { 0x05, 0xF0, 0xF1, 0xF2 };

    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, data.data(), 64), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 5, numbered.data(), 4), kIOReturnSuccess);

    std::vector<uint8_t> unnumbered = { 0x00 };
    unnumbered.insert(unnumbered.end(), data.begin(), data.end());
    EXPECT_EQ(controller->outputReports(), (std::vector<std::vector<uint8_t>> { unnumbered, numbered }));
}

TEST_F(HidrawReports, SetReportAfterRemovalFailsWithoutReachingTheNode)
{
    openDevice(controllerOnPort("13"), 0x01D00000);
    testbed->unplug(*controller, HidrawTestbed::UnplugOrder::eventFirst);
    IOHIDManagerScheduleWithRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    ASSERT_TRUE(runUntil([&] { return manager->devices().empty(); }));
    IOHIDManagerUnscheduleFromRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    const auto data = pattern(64, 0xF0);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, data.data(), 64), kIOReturnNoDevice);
    EXPECT_TRUE(controller->outputReports().empty());
}

// The update thread sends while the message thread removes the device: every
// send either reaches the node or fails cleanly (the sanitizers watch the rest).
TEST_F(HidrawReports, SendsRacingARemovalEndInNoDevice)
{
    openDevice(controllerOnPort("14"), 0x01E00000);
    std::atomic<int> sent { 0 };
    std::atomic<IOReturn> lastResult { kIOReturnSuccess };
    std::thread sender([&] {
        const auto data = pattern(64, 0xF3);
        for (int i = 0; i < 100000 && lastResult == kIOReturnSuccess; ++i)
        {
            lastResult = IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, data.data(), 64);
            ++sent;
        }
    });
    eventually([&] { return sent > 10; });
    testbed->unplug(*controller, HidrawTestbed::UnplugOrder::eventFirst);
    IOHIDManagerScheduleWithRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    EXPECT_TRUE(runUntil([&] { return manager->devices().empty(); }));
    IOHIDManagerUnscheduleFromRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    sender.join();

    EXPECT_EQ(lastResult.load(), kIOReturnNoDevice) << "after " << sent << " sends";
    EXPECT_EQ(controller->outputReports().size() + 1, static_cast<size_t>(sent.load()));
}
