#include "HidrawTestSupport.h"

#include "Sources/Hidraw/HidrawChannel.h"
#include "Sources/Hidraw/HidrawSource.h"

#include <CoreFoundation/CoreFoundation.h>
#include <Platform/RunLoop.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>

using namespace kvxtest;

namespace
{
// A thread that does nothing but dispatch its own run loop.
class RunLoopThread
{
public:
    RunLoopThread()
        : thread([this] {
              runLoop = CFRunLoopGetCurrent();
              ready = true;
              pollfd wake { platform::runLoopDescriptor(runLoop), POLLIN, 0 };
              while (! stopping)
              {
                  poll(&wake, 1, 10);
                  platform::runLoopDispatch(runLoop);
              }
          })
    {
        eventually([this] { return ready.load(); });
    }

    ~RunLoopThread()
    {
        stopping = true;
        thread.join();
    }

    CFRunLoopRef get() const { return runLoop; }
    std::thread::id id() const { return thread.get_id(); }

private:
    std::atomic<bool> ready { false };
    std::atomic<bool> stopping { false };
    CFRunLoopRef runLoop = nullptr;
    std::thread thread;
};

// What the manager's and devices' callbacks saw, from whichever thread.
struct Callbacks
{
    std::mutex lock;
    std::vector<std::thread::id> matchedOn;
    std::vector<std::thread::id> removedOn;
    std::vector<std::thread::id> deviceRemovedOn;

    size_t count(const std::vector<std::thread::id>& calls)
    {
        std::lock_guard guard(lock);
        return calls.size();
    }

    static void matched(void* context, IOReturn, void*, IOHIDDeviceRef)
    {
        record(context, &Callbacks::matchedOn);
    }
    static void removed(void* context, IOReturn, void*, IOHIDDeviceRef)
    {
        record(context, &Callbacks::removedOn);
    }
    static void deviceRemoved(void* context, IOReturn, void*)
    {
        record(context, &Callbacks::deviceRemovedOn);
    }

private:
    static void record(void* context, std::vector<std::thread::id> Callbacks::*calls)
    {
        auto* self = static_cast<Callbacks*>(context);
        std::lock_guard guard(self->lock);
        (self->*calls).push_back(std::this_thread::get_id());
    }
};

bool managerHas(const OpenManager& manager, IOHIDDeviceRef device)
{
    const auto devices = manager.devices();
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

class HidrawHotplug : public HidrawSuite
{
protected:
    // Plugs in another device and waits for its arrival: udev's events come in
    // order, so everything before it has been handled by then.
    void waitForEarlierEvents(Callbacks& callbacks, const std::string& port)
    {
        const size_t before = callbacks.count(callbacks.matchedOn);
        testbed->plugIn(controllerOnPort(port));
        ASSERT_TRUE(runUntil([&] { return callbacks.count(callbacks.matchedOn) == before + 1; }));
    }
};
} // namespace

// The controller link takes a controller plugged in later, and lets it go on
// removal, on the thread that scheduled the manager and nowhere else.
TEST_F(HidrawHotplug, ArrivalAndRemovalAreReportedOnceOnTheManagersThread)
{
    RunLoopThread worker;
    Callbacks callbacks;
    OpenManager manager;
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), &Callbacks::matched, &callbacks);
    IOHIDManagerRegisterDeviceRemovalCallback(manager.get(), &Callbacks::removed, &callbacks);
    IOHIDManagerScheduleWithRunLoop(manager.get(), worker.get(), kCFRunLoopDefaultMode);

    auto& controller = testbed->plugIn(controllerOnPort("6"));
    ASSERT_TRUE(eventually([&] { return callbacks.count(callbacks.matchedOn) == 1; }));
    IOHIDDeviceRef device = manager.deviceWith("LocationID", 0x01600000);
    ASSERT_NE(device, nullptr);

    testbed->unplug(controller);
    ASSERT_TRUE(eventually([&] { return callbacks.count(callbacks.removedOn) == 1; }));
    EXPECT_FALSE(managerHas(manager, device));
    IOHIDManagerUnscheduleFromRunLoop(manager.get(), worker.get(), kCFRunLoopDefaultMode);

    std::lock_guard guard(callbacks.lock);
    EXPECT_EQ(callbacks.matchedOn, std::vector<std::thread::id>(1, worker.id()));
    EXPECT_EQ(callbacks.removedOn, std::vector<std::thread::id>(1, worker.id()));
}

class HidrawUnplugWhileOpen : public HidrawHotplug
{
protected:
    void SetUp() override
    {
        HidrawHotplug::SetUp();
        manager = std::make_unique<OpenManager>();
        IOHIDManagerRegisterDeviceMatchingCallback(manager->get(), &Callbacks::matched, &callbacks);
        IOHIDManagerRegisterDeviceRemovalCallback(manager->get(), &Callbacks::removed, &callbacks);
        IOHIDManagerScheduleWithRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

        controller = &testbed->plugIn(controllerOnPort("7"));
        ASSERT_TRUE(runUntil([&] { return callbacks.count(callbacks.matchedOn) == 1; }));
        device = manager->deviceWith("LocationID", 0x01700000);
        ASSERT_NE(device, nullptr);
        CFRetain(device);
        IOHIDDeviceRegisterRemovalCallback(device, &Callbacks::deviceRemoved, &callbacks);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    void TearDown() override
    {
        if (device != nullptr)
        {
            IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
            CFRelease(device);
        }
        IOHIDManagerUnscheduleFromRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        manager.reset();
        HidrawHotplug::TearDown();
    }

    Callbacks callbacks;
    std::unique_ptr<OpenManager> manager;
    EmulatedHidraw* controller = nullptr;
    IOHIDDeviceRef device = nullptr;
};

// A real unplug fails the open node before udev's "remove" comes: the device
// must go at the first sign, and the second must not report it again.
TEST_F(HidrawUnplugWhileOpen, NodeFailingFirstRemovesTheDeviceOnce)
{
    controller->failNode(EIO);
    ASSERT_TRUE(runUntil([&] { return callbacks.count(callbacks.removedOn) == 1; }));
    EXPECT_FALSE(managerHas(*manager, device));

    testbed->unplug(*controller);
    waitForEarlierEvents(callbacks, "8");
    EXPECT_EQ(callbacks.count(callbacks.removedOn), 1u);
    EXPECT_EQ(callbacks.count(callbacks.deviceRemovedOn), 1u);
}

TEST_F(HidrawUnplugWhileOpen, UdevRemovalFirstRemovesTheDeviceOnce)
{
    testbed->unplug(*controller, HidrawTestbed::UnplugOrder::eventFirst);
    ASSERT_TRUE(runUntil([&] { return callbacks.count(callbacks.removedOn) == 1; }));
    controller->failNode(EIO);

    waitForEarlierEvents(callbacks, "8");
    EXPECT_EQ(callbacks.count(callbacks.removedOn), 1u);
    EXPECT_EQ(callbacks.count(callbacks.deviceRemovedOn), 1u);
    EXPECT_FALSE(managerHas(*manager, device));
}

//==============================================================================
// A controller plugged in as the program starts may be listed before udev has
// applied its access rule, and then never be opened: it must be taken when
// udev announces it ("add"), or announces it again ("change", the rule triggered).
TEST_F(HidrawHotplug, ADeviceUdevHasNotFinishedWithIsListedOnlyOnceItIsAnnounced)
{
    auto& controller = testbed->plugIn(controllerOnPort("3"));
    // Whatever the host's udev database holds, udev has not finished with it yet.
    using platform::hidraw::UdevContext;
    const auto unfinished = UdevContext::create(UdevContext::Listing::initializedOnly, [](udev_device*) { return false; });
    platform::setDefaultDeviceSource(std::make_shared<platform::hidraw::HidrawSource>(unfinished));
    OpenManager manager;
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    EXPECT_TRUE(manager.devices().empty()) << "listed before udev finished with it";

    testbed->announceAgain(controller, "add");
    EXPECT_TRUE(runUntil([&] { return manager.deviceWith("LocationID", 0x01300000) != nullptr; }));
    IOHIDManagerUnscheduleFromRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

TEST_F(HidrawHotplug, ANodeThatWasRefusedIsOpenedWhenUdevAnnouncesItAgain)
{
    auto& controller = testbed->plugIn(controllerOnPort("4"));
    std::optional<OpenManager> manager;
    {
        ScopedAccessDenial denial(controller);
        manager.emplace();
    }
    Callbacks callbacks;
    IOHIDManagerRegisterDeviceMatchingCallback(manager->get(), &Callbacks::matched, &callbacks);
    IOHIDManagerRegisterDeviceRemovalCallback(manager->get(), &Callbacks::removed, &callbacks);
    IOHIDManagerScheduleWithRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    ASSERT_TRUE(runUntil([&] { return callbacks.count(callbacks.matchedOn) == 1; }));

    testbed->announceAgain(controller, "change");
    EXPECT_TRUE(runUntil([&] { return callbacks.count(callbacks.matchedOn) == 2; }));
    IOHIDManagerUnscheduleFromRunLoop(manager->get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    EXPECT_EQ(callbacks.count(callbacks.removedOn), 1u) << "the refused device object must leave";
    IOHIDDeviceRef device = manager->deviceWith("LocationID", 0x01400000);
    ASSERT_NE(device, nullptr);
    const uint8_t report[64] = {};
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnSuccess);
}

// Nobody may be left to close the channel (its source released): it must stop
// watching a failed node itself, or the node's endless readiness spins the run loop.
TEST_F(HidrawHotplug, AChannelWhoseNodeFailedStopsWatchingIt)
{
    auto& controller = testbed->plugIn(controllerOnPort("5"));
    int vanishings = 0;
    int error = 0;
    const auto channel = platform::hidraw::HidrawChannel::open(controller.devnode(), [&] { ++vanishings; }, error);
    ASSERT_NE(channel, nullptr) << "errno " << error;
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    channel->startInput(runLoop, [](const uint8_t*, size_t) {});

    controller.failNode(EIO);
    ASSERT_TRUE(runUntil([&] { return vanishings > 0; }));
    for (int pass = 0; pass < 10; ++pass)
        platform::runLoopDispatch(runLoop);

    EXPECT_EQ(vanishings, 1);
    pollfd work { platform::runLoopDescriptor(runLoop), POLLIN, 0 };
    EXPECT_EQ(poll(&work, 1, 0), 0) << "the run loop still has work to do";
}
