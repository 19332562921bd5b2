// Round trip of one 64-byte output report answered at once by a 64-byte input
// report, on an emulated hidraw node: through the HID manager and the run loop
// as the updater sends and receives, and as a bare write/poll/read ping-pong on
// the same node for comparison. Run under umockdev-wrapper.
#include "Support/Umockdev/EmulatedHidraw.h"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>
#include <Platform/RunLoop.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int exchanges = 10000;
constexpr size_t reportSize = 64;

struct Figures
{
    double median;
    double percentile99;
};

Figures summarise(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    return { micros[micros.size() / 2], micros[micros.size() * 99 / 100] };
}

void print(const char* what, const Figures& figures)
{
    std::printf("%-44s median %8.1f us   p99 %8.1f us   (%d exchanges)\n", what, figures.median,
                figures.percentile99, exchanges);
}

kvxtest::EmulatedHidraw& plugInEchoingController(kvxtest::HidrawTestbed& testbed)
{
    kvxtest::EmulatedHidDescription description;
    description.reportDescriptor = kvxtest::vendorReportDescriptor();
    description.usb = kvxtest::UsbPlacement {};
    auto& controller = testbed.plugIn(description);
    // Answers each output report with an input report of the same payload.
    controller.setOutputHandler([&controller](const std::vector<uint8_t>& report) {
        controller.sendInputReport(std::vector<uint8_t>(report.begin() + 1, report.end()));
    });
    return controller;
}

int inputReports = 0;

void countInput(void*, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
{
    ++inputReports;
}

void waitForInput(int expected)
{
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    pollfd ready { platform::runLoopDescriptor(runLoop), POLLIN, 0 };
    while (inputReports < expected)
    {
        poll(&ready, 1, 1000);
        platform::runLoopDispatch(runLoop);
    }
}

std::vector<double> throughTheRunLoop()
{
    IOHIDManagerRef manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerSetDeviceMatching(manager, nullptr);
    IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone);
    CFSetRef devices = IOHIDManagerCopyDevices(manager);
    const void* first = nullptr;
    CFSetGetValues(devices, &first);
    auto device = static_cast<IOHIDDeviceRef>(const_cast<void*>(first));

    std::vector<uint8_t> buffer(reportSize);
    IOHIDDeviceRegisterInputReportCallback(device, buffer.data(), reportSize, countInput, nullptr);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    std::vector<double> micros;
    const std::vector<uint8_t> report(reportSize, 0xF3);
    for (int i = 1; i <= exchanges; ++i)
    {
        const auto start = Clock::now();
        IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), reportSize);
        waitForInput(i);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFRelease(devices);
    IOHIDManagerClose(manager, kIOHIDOptionsTypeNone);
    CFRelease(manager);
    return micros;
}

std::vector<double> barePingPong(const std::string& node)
{
    const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    std::vector<double> micros;
    std::vector<uint8_t> report(reportSize + 1, 0xF3);
    report[0] = 0;
    std::vector<uint8_t> reply(reportSize);
    pollfd readable { fd, POLLIN, 0 };
    for (int i = 0; i < exchanges; ++i)
    {
        const auto start = Clock::now();
        if (write(fd, report.data(), report.size()) != static_cast<ssize_t>(report.size()))
            break;
        while (read(fd, reply.data(), reply.size()) <= 0)
            poll(&readable, 1, 1000);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    close(fd);
    return micros;
}
} // namespace

int main()
{
    kvxtest::HidrawTestbed testbed;
    auto& controller = plugInEchoingController(testbed);

    // The manager follows the process's default source: the hidraw one.
    print("output report -> input callback (run loop)", summarise(throughTheRunLoop()));
    print("bare write/poll/read on the same node", summarise(barePingPong(controller.devnode())));
    return 0;
}
