#include "Platform/IOKit/HIDTestSupport.h"

#include <atomic>
#include <numeric>

namespace
{
using namespace platformtest;
using Bytes = std::vector<uint8_t>;
using platform::virtualhid::Report;

Bytes countingBytes(size_t length)
{
    Bytes bytes(length);
    std::iota(bytes.begin(), bytes.end(), uint8_t { 0 });
    return bytes;
}

// One attached device, opened through its manager.
class HIDDeviceReports : public VirtualDevicesTest
{
protected:
    HIDDeviceReports()
    {
        virtualDevice->attach();
        IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
        EXPECT_EQ(IOHIDManagerOpen(manager.get(), 0), kIOReturnSuccess);
        device = deviceAt(manager.get(), 1);
    }

    void listenOnWorker()
    {
        IOHIDDeviceRegisterInputReportCallback(device, recorder.buffer, sizeof recorder.buffer, Recorder::input,
                                               &recorder);
        IOHIDDeviceScheduleWithRunLoop(device, worker.getRunLoop(), kCFRunLoopDefaultMode);
    }

    IOReturn send(const Bytes& bytes)
    {
        return IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, bytes.data(), static_cast<CFIndex>(bytes.size()));
    }

    RunLoopThread worker;
    std::unique_ptr<platform::virtualhid::Device> virtualDevice = makeDevice(1);
    IOHIDDeviceRef device = nullptr;
};

//==============================================================================
// Input reports: where they land, and on which thread.
TEST_F(HIDDeviceReports, InputFromAnyThreadArrivesOnlyOnTheScheduledThread)
{
    listenOnWorker();
    virtualDevice->injectInput({ 0xf8, 42, 7 });
    std::thread([this] { virtualDevice->injectInput({ 0xf9 }); }).join();
    worker.drain();
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].landed, (Bytes { 0xf8, 42, 7 }));
    EXPECT_EQ(reports[0].reportedLength, 3);
    EXPECT_EQ(reports[0].reportID, 0u);
    EXPECT_EQ(reports[1].landed, (Bytes { 0xf9 }));
    for (const auto& report : reports)
        EXPECT_EQ(report.thread, worker.getThreadID());
}

TEST_F(HIDDeviceReports, LongReportIsCutToTheBufferAndItsOwnLengthReported)
{
    listenOnWorker();
    virtualDevice->injectInput(countingBytes(64));
    worker.drain();
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].reportedLength, 64);
    EXPECT_EQ(Bytes(recorder.buffer, recorder.buffer + sizeof recorder.buffer), countingBytes(sizeof recorder.buffer));
}

TEST_F(HIDDeviceReports, NothingIsWrittenBeyondTheRegisteredLength)
{
    uint8_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xee);
    IOHIDDeviceRegisterInputReportCallback(device, buffer, 8, Recorder::input, &recorder);
    IOHIDDeviceScheduleWithRunLoop(device, worker.getRunLoop(), kCFRunLoopDefaultMode);
    virtualDevice->injectInput(countingBytes(12));
    worker.drain();
    EXPECT_EQ(Bytes(buffer, buffer + 16), (Bytes { 0, 1, 2, 3, 4, 5, 6, 7, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee }));
    IOHIDDeviceRegisterInputReportCallback(device, buffer, 8, nullptr, nullptr);
}

TEST_F(HIDDeviceReports, EmptyReportArrivesWithLengthZero)
{
    listenOnWorker();
    virtualDevice->injectInput(nullptr, 0);
    worker.drain();
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].reportedLength, 0);
}

TEST_F(HIDDeviceReports, InputIsDroppedOnceUnscheduledEvenIfAlreadyOnItsWay)
{
    listenOnWorker();
    // Both on the worker, so that the report is posted but not yet dispatched when unscheduled.
    worker.call(
        [this]
        {
            virtualDevice->injectInput({ 1 });
            IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        });
    virtualDevice->injectInput({ 2 });
    worker.drain();
    EXPECT_TRUE(recorder.reports().empty());
}

TEST_F(HIDDeviceReports, InputNeedsTheDeviceOpen)
{
    listenOnWorker();
    IOHIDManagerClose(manager.get(), 0);
    virtualDevice->injectInput({ 1 });
    worker.drain();
    EXPECT_TRUE(recorder.reports().empty());
    EXPECT_EQ(virtualDevice->openCount(), 0);
}

TEST_F(HIDDeviceReports, NumberedReportsGiveTheirIDFromTheFirstByte)
{
    // A keyboard collection with one input report of ID 2 and two bytes.
    const Bytes descriptor { 0x05, 0x01, 0x09, 0x06, 0xa1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x02,
                             0x15, 0x00, 0x26, 0xff, 0x00, 0x81, 0x02, 0xc0 };
    platform::virtualhid::Properties properties;
    properties.setNumber(kIOHIDLocationIDKey, 9);
    platform::virtualhid::Device numbered(properties, descriptor);
    numbered.attach();
    device = deviceAt(manager.get(), 9);
    listenOnWorker();
    numbered.injectInput({ 2, 0xaa, 0xbb });
    worker.drain();
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].reportID, 2u);
    EXPECT_EQ(reports[0].landed, (Bytes { 2, 0xaa, 0xbb }));
}

//==============================================================================
// Output reports: observed exactly, answered by the device's handler.
TEST_F(HIDDeviceReports, OutputReportsAreObservedByteExact)
{
    const Bytes report = countingBytes(64);
    EXPECT_EQ(send(report), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeFeature, 3, report.data(), 2), kIOReturnSuccess);
    const auto sent = virtualDevice->sentReports();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, kIOHIDReportTypeOutput);
    EXPECT_EQ(sent[0].reportID, 0u);
    EXPECT_EQ(sent[0].bytes, report);
    EXPECT_EQ(sent[1].type, kIOHIDReportTypeFeature);
    EXPECT_EQ(sent[1].reportID, 3u);
    EXPECT_EQ(sent[1].bytes, (Bytes { 0, 1 }));
}

TEST_F(HIDDeviceReports, HandlersResultBecomesTheSendersResult)
{
    virtualDevice->setOutputHandler([](const Report&) { return kIOReturnTimeout; });
    EXPECT_EQ(send({ 0xf0 }), kIOReturnTimeout);
    EXPECT_EQ(virtualDevice->sentReports().size(), 1u);
}

TEST_F(HIDDeviceReports, HandlerMayAnswerWithAnInputReport)
{
    listenOnWorker();
    virtualDevice->setOutputHandler(
        [this](const Report& report)
        {
            virtualDevice->injectInput({ static_cast<uint8_t>(report.bytes[0] + 8), 100 });
            return kIOReturnSuccess;
        });
    EXPECT_EQ(send({ 0xf0 }), kIOReturnSuccess);
    worker.drain();
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].landed, (Bytes { 0xf8, 100 }));
}

TEST_F(HIDDeviceReports, GetReportCopiesWhatTheHandlerGivesUpToTheBuffer)
{
    uint8_t buffer[4] {};
    CFIndex length = sizeof buffer;
    EXPECT_EQ(IOHIDDeviceGetReport(device, kIOHIDReportTypeFeature, 5, buffer, &length), kIOReturnUnsupported);
    virtualDevice->setGetReportHandler(
        [](Report& request)
        {
            request.bytes = { static_cast<uint8_t>(request.reportID), 1, 2, 3, 4, 5 };
            return kIOReturnSuccess;
        });
    EXPECT_EQ(IOHIDDeviceGetReport(device, kIOHIDReportTypeFeature, 5, buffer, &length), kIOReturnSuccess);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes { 5, 1, 2, 3 }));
}

//==============================================================================
// Sends that cannot go out fail with a code, and never touch a device that is gone.
TEST_F(HIDDeviceReports, BadArgumentsAreRefused)
{
    const uint8_t byte = 0;
    EXPECT_EQ(IOHIDDeviceSetReport(nullptr, kIOHIDReportTypeOutput, 0, &byte, 1), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, nullptr, 1), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, &byte, 0), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 256, &byte, 1), kIOReturnBadArgument);
    auto notADevice = reinterpret_cast<IOHIDDeviceRef>(manager.get());
    EXPECT_EQ(IOHIDDeviceSetReport(notADevice, kIOHIDReportTypeOutput, 0, &byte, 1), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceGetProperty(notADevice, CFSTR(kIOHIDLocationIDKey)), nullptr);
    EXPECT_TRUE(virtualDevice->sentReports().empty());
}

TEST_F(HIDDeviceReports, SendToADeviceNobodyOpenedIsNotOpen)
{
    IOHIDManagerClose(manager.get(), 0);
    EXPECT_EQ(send({ 1 }), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDDeviceOpen(device, 0), kIOReturnSuccess);
    EXPECT_EQ(send({ 1 }), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceClose(device, 0), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceClose(device, 0), kIOReturnNotOpen);
}

TEST_F(HIDDeviceReports, SendAfterDetachFailsWithNoDevice)
{
    auto keep = Retained<IOHIDDeviceRef>::retain(device);
    virtualDevice->detach();
    EXPECT_EQ(send({ 1 }), kIOReturnNoDevice);
    EXPECT_EQ(IOHIDDeviceOpen(device, 0), kIOReturnNoDevice);
    EXPECT_TRUE(virtualDevice->sentReports().empty());
}

TEST_F(HIDDeviceReports, SendRacingADetachOnAnotherThreadEndsCleanly)
{
    auto keep = Retained<IOHIDDeviceRef>::retain(device);
    std::atomic<bool> started { false };
    std::atomic<int> unexpected { 0 };
    std::thread sender(
        [&]
        {
            IOReturn result;
            do
            {
                result = send(countingBytes(64));
                started = true;
                if (result != kIOReturnSuccess && result != kIOReturnNoDevice)
                    ++unexpected;
            } while (result == kIOReturnSuccess);
        });
    while (!started)
        std::this_thread::yield();
    virtualDevice->detach();
    sender.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(send({ 1 }), kIOReturnNoDevice);
    for (const auto& report : virtualDevice->sentReports())
        ASSERT_EQ(report.bytes, countingBytes(64));
}

//==============================================================================
// Properties live on each device object.
TEST_F(HIDDeviceReports, SetPropertyStoresOnThisDeviceObjectOnly)
{
    auto other = Retained<IOHIDManagerRef>::adopt(IOHIDManagerCreate(kCFAllocatorDefault, 0));
    IOHIDManagerSetDeviceMatching(other.get(), nullptr);
    IOHIDDeviceRef sameDeviceElsewhere = deviceAt(other.get(), 1);
    ASSERT_NE(sameDeviceElsewhere, device);

    EXPECT_TRUE(IOHIDDeviceSetProperty(device, CFSTR("DeviceQueueRef"), number(77).get()));
    EXPECT_EQ(numberProperty(device, "DeviceQueueRef"), 77);
    EXPECT_EQ(IOHIDDeviceGetProperty(sameDeviceElsewhere, CFSTR("DeviceQueueRef")), nullptr);
    EXPECT_FALSE(IOHIDDeviceSetProperty(device, CFSTR("DeviceQueueRef"), nullptr));
}
} // namespace
