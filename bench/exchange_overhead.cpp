// Exchange overhead of the update: a whole MainComponent updates a 1 MiB file
// against a controller that answers every report at once, and the time from
// each reply's departure to the next report's arrival is the updater's own
// (the controller takes no time). Beside it, bare ping-pongs over the same
// transport without the application's layers:
//   - through the HID manager and the run loop on one thread;
//   - the same with the sender on a thread of its own, woken by the run loop's
//     callback, which is the shape the application must have (callbacks on the
//     message thread, sends on the update thread);
//   - on the Linux source, plain write/poll/read on the node.
//
//   exchange_overhead virtual      the in-memory device source
//   exchange_overhead umockdev     the hidraw source on an emulated node; run
//                                  under umockdev-wrapper
#include "BenchFigures.h"
#include "ComponentUpdate.h"
#include "ControllerEndpoint.h"
#include "PromptController.h"

#include "MainComponent.h"
#include "UpdateFileBuilder.h"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>
#include <Platform/RunLoop.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace
{

using namespace bench;

constexpr size_t fileSize = 1 << 20;
constexpr int bareExchanges = 20000;
constexpr size_t reportSize = 64;

struct ExchangeFigures
{
    double perSecond = 0;
    Spread gap;
};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "exchange_overhead: %s\n", what);
    std::exit(1);
}

ExchangeFigures figuresOf(const ExchangeLog& log)
{
    return { log.exchangesPerSecond(), spreadOf(log.replyToNextReportMicroseconds()) };
}

Answer echo()
{
    return [](const uint8_t* report, size_t length) { return std::vector<uint8_t>(report, report + length); };
}

//==============================================================================
ExchangeFigures measureUpdate(ControllerEndpoint& controller)
{
    PromptController prompt;
    controller.answerWith([&prompt](const uint8_t* report, size_t length) { return prompt.answer(report, length); });
    controller.log().keepTimes(fileSize / 62 + 16);

    const auto file = placeUpdateFile(fileSize);
    if (runUpdate() != SeqComplete)
        fail("the update did not complete");
    return figuresOf(controller.log());
}

//==============================================================================
// The first device the HID manager sees, opened, its input reports counted.
class BareDevice
{
public:
    BareDevice() : manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone))
    {
        IOHIDManagerSetDeviceMatching(manager, nullptr);
        IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone);
        devices = IOHIDManagerCopyDevices(manager);
        if (devices == nullptr || CFSetGetCount(devices) == 0)
            fail("no device for the bare ping-pong");
        const void* first = nullptr;
        CFSetGetValues(devices, &first);
        device = static_cast<IOHIDDeviceRef>(const_cast<void*>(first));
        IOHIDDeviceRegisterInputReportCallback(device, buffer, sizeof(buffer), countInput, this);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    ~BareDevice()
    {
        IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        CFRelease(devices);
        IOHIDManagerClose(manager, kIOHIDOptionsTypeNone);
        CFRelease(manager);
    }

    void send()
    {
        const std::vector<uint8_t> report(reportSize, 0xF3);
        IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), reportSize);
    }

    // Dispatches this thread's run loop until that many reports have come in.
    void dispatchUntil(int expected)
    {
        pollfd ready { platform::runLoopDescriptor(CFRunLoopGetCurrent()), POLLIN, 0 };
        while (received.load() < expected)
        {
            poll(&ready, 1, 1000);
            platform::runLoopDispatch(CFRunLoopGetCurrent());
        }
    }

    std::function<void()> onInput;

private:
    static void countInput(void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
    {
        auto* self = static_cast<BareDevice*>(context);
        ++self->received;
        if (self->onInput)
            self->onInput();
    }

    IOHIDManagerRef manager;
    CFSetRef devices = nullptr;
    IOHIDDeviceRef device = nullptr;
    uint8_t buffer[reportSize] {};
    std::atomic<int> received { 0 };
};

ExchangeFigures measureBareRunLoop(ControllerEndpoint& controller)
{
    controller.answerWith(echo());
    controller.log().keepTimes(bareExchanges);
    BareDevice bare;

    for (int i = 1; i <= bareExchanges; ++i)
    {
        bare.send();
        bare.dispatchUntil(i);
    }
    return figuresOf(controller.log());
}

ExchangeFigures measureBareTwoThreads(ControllerEndpoint& controller)
{
    controller.answerWith(echo());
    controller.log().keepTimes(bareExchanges);
    BareDevice bare;
    juce::WaitableEvent replied;
    bare.onInput = [&replied] { replied.signal(); };

    std::thread sender([&bare, &replied] {
        for (int i = 0; i < bareExchanges; ++i)
        {
            bare.send();
            replied.wait(-1);
        }
    });
    bare.dispatchUntil(bareExchanges);
    sender.join();
    return figuresOf(controller.log());
}

ExchangeFigures measureBareNode(UmockdevEndpoint& controller)
{
    controller.answerWith(echo());
    controller.log().keepTimes(bareExchanges);
    const int fd = open(controller.devnode().c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        fail("cannot open the emulated node");

    std::vector<uint8_t> report(reportSize + 1, 0xF3);
    report[0] = 0;
    std::vector<uint8_t> reply(reportSize);
    pollfd readable { fd, POLLIN, 0 };
    for (int i = 0; i < bareExchanges; ++i)
    {
        if (write(fd, report.data(), report.size()) != static_cast<ssize_t>(report.size()))
            fail("write to the node failed");
        while (read(fd, reply.data(), reply.size()) <= 0)
            poll(&readable, 1, 1000);
    }
    close(fd);
    return figuresOf(controller.log());
}

//==============================================================================
std::string rateOf(const ExchangeFigures& figures)
{
    return figure(figures.perSecond, 0, "/s");
}

std::string gapOf(const ExchangeFigures& figures)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.1f, p99 %.1f us", figures.gap.median, figures.gap.percentile99);
    return text;
}

void report(const std::string& source, const ExchangeFigures& update, const ExchangeFigures& reference,
            const std::string& referenceName, const ExchangeFigures& twoThreads)
{
    const bool gapMet = update.gap.median <= 50 && update.gap.percentile99 <= 500;
    printRow("reply to next report, " + source, gapOf(update), referenceName + " " + gapOf(reference),
             "median <= 50, p99 <= 500 us", gapMet);
    printRow("exchanges per second, " + source, rateOf(update), referenceName + " " + rateOf(reference),
             ">= 0.8 x bare (" + figure(update.perSecond / reference.perSecond, 2, "x") + ")",
             update.perSecond >= 0.8 * reference.perSecond);
    printRow("  bare, sender on a thread of its own", rateOf(twoThreads), gapOf(twoThreads), "(reference only)", true);
}

int runOnVirtualSource()
{
    startMessageThread(true);
    VirtualEndpoint controller;

    const auto update = measureUpdate(controller);
    const auto bare = measureBareRunLoop(controller);
    const auto twoThreads = measureBareTwoThreads(controller);
    report("virtual", update, bare, "bare:", twoThreads);
    return 0;
}

int runOnUmockdev()
{
    startMessageThread(false);
    UmockdevEndpoint controller;

    const auto update = measureUpdate(controller);
    const auto bare = measureBareNode(controller);
    const auto runLoop = measureBareRunLoop(controller);
    const auto twoThreads = measureBareTwoThreads(controller);
    report("umockdev", update, bare, "bare node:", twoThreads);
    printRow("  bare, run loop on one thread", rateOf(runLoop), gapOf(runLoop), "(reference only)", true);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string source = argc > 1 ? argv[1] : "virtual";
    if (source == "virtual")
        return runOnVirtualSource();
    if (source == "umockdev")
        return runOnUmockdev();
    std::fprintf(stderr, "usage: exchange_overhead virtual|umockdev\n");
    return 2;
}
