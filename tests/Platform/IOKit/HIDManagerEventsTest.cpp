#include "Platform/IOKit/HIDTestSupport.h"

namespace
{
using namespace platformtest;
using Kinds = std::vector<std::string>;

// Arrivals and removals reach the manager's callbacks once each, and only on
// the thread of the run loop it is scheduled on.
class HIDManagerEvents : public VirtualDevicesTest
{
protected:
    HIDManagerEvents()
    {
        IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
        IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), Recorder::matched, &recorder);
        IOHIDManagerRegisterDeviceRemovalCallback(manager.get(), Recorder::managerRemoved, &recorder);
    }

    void scheduleOnWorker()
    {
        IOHIDManagerScheduleWithRunLoop(manager.get(), worker.getRunLoop(), kCFRunLoopDefaultMode);
    }

    bool allOnWorker() const
    {
        const auto events = recorder.events();
        return std::all_of(events.begin(), events.end(),
                           [this](const auto& event) { return event.thread == worker.getThreadID(); });
    }

    RunLoopThread worker;
    std::unique_ptr<platform::virtualhid::Device> first = makeDevice(1);
    std::unique_ptr<platform::virtualhid::Device> second = makeDevice(2);
};

TEST_F(HIDManagerEvents, DevicesPresentAreAnnouncedOnceScheduledThenEachArrival)
{
    first->attach();
    scheduleOnWorker();
    worker.drain();
    second->attach();
    second->attach();
    worker.drain();
    EXPECT_EQ(recorder.kinds(), (Kinds { "matched", "matched" }));
    EXPECT_TRUE(allOnWorker());
    const auto events = recorder.events();
    EXPECT_EQ(numberProperty(events[0].device, kIOHIDLocationIDKey), 1);
    EXPECT_EQ(numberProperty(events[1].device, kIOHIDLocationIDKey), 2);
}

TEST_F(HIDManagerEvents, RemovalIsReportedOnceAndTheDeviceLeavesTheSet)
{
    first->attach();
    second->attach();
    scheduleOnWorker();
    worker.drain();
    first->detach();
    first->detach();
    worker.drain();
    EXPECT_EQ(recorder.kinds(), (Kinds { "matched", "matched", "managerRemoved" }));
    EXPECT_TRUE(allOnWorker());
    EXPECT_EQ(locationsOf(manager.get()), (std::vector<long> { 2 }));
}

TEST_F(HIDManagerEvents, NothingIsReportedWhileUnscheduled)
{
    first->attach();
    worker.drain();
    drainRunLoop(CFRunLoopGetMain());
    EXPECT_TRUE(recorder.events().empty());

    scheduleOnWorker();
    worker.drain();
    IOHIDManagerUnscheduleFromRunLoop(manager.get(), worker.getRunLoop(), kCFRunLoopDefaultMode);
    second->attach();
    worker.drain();
    EXPECT_EQ(recorder.kinds(), (Kinds { "matched" }));
}

TEST_F(HIDManagerEvents, DeviceThatLeftBeforeItsAnnouncementIsNeverReported)
{
    first->attach();
    first->detach();
    scheduleOnWorker();
    worker.drain();
    EXPECT_TRUE(recorder.events().empty());
}

TEST_F(HIDManagerEvents, ReattachedDeviceIsANewDeviceObject)
{
    first->attach();
    auto before = Retained<IOHIDDeviceRef>::retain(deviceAt(manager.get(), 1));
    first->detach();
    first->attach();
    EXPECT_NE(deviceAt(manager.get(), 1), nullptr);
    EXPECT_NE(deviceAt(manager.get(), 1), before.get());
}

TEST_F(HIDManagerEvents, ReleasingTheManagerDropsWhatItHadNotReported)
{
    scheduleOnWorker();
    worker.drain();
    // On the worker itself, so that it cannot dispatch the arrival in between.
    worker.call([this] {
        first->attach();
        manager = {};
    });
    worker.drain();
    EXPECT_TRUE(recorder.events().empty());
}

//==============================================================================
// A device's own removal callback, which the controller link relies on.
class HIDDeviceRemoval : public HIDManagerEvents
{
protected:
    IOHIDDeviceRef attachedDevice()
    {
        first->attach();
        return deviceAt(manager.get(), 1);
    }
};

TEST_F(HIDDeviceRemoval, ReportedOnceOnTheDevicesRunLoop)
{
    IOHIDDeviceRef device = attachedDevice();
    IOHIDDeviceRegisterRemovalCallback(device, Recorder::deviceRemoved, &recorder);
    IOHIDDeviceScheduleWithRunLoop(device, worker.getRunLoop(), kCFRunLoopDefaultMode);
    auto keep = Retained<IOHIDDeviceRef>::retain(device);
    first->detach();
    worker.drain();
    IOHIDDeviceRegisterRemovalCallback(device, Recorder::deviceRemoved, &recorder);
    worker.drain();
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, "deviceRemoved");
    EXPECT_EQ(events[0].device, device);
    EXPECT_EQ(events[0].thread, worker.getThreadID());
}

TEST_F(HIDDeviceRemoval, RemovalBeforeSchedulingIsReportedOnceScheduled)
{
    auto device = Retained<IOHIDDeviceRef>::retain(attachedDevice());
    IOHIDDeviceRegisterRemovalCallback(device.get(), Recorder::deviceRemoved, &recorder);
    first->detach();
    worker.drain();
    EXPECT_TRUE(recorder.events().empty());
    IOHIDDeviceScheduleWithRunLoop(device.get(), worker.getRunLoop(), kCFRunLoopDefaultMode);
    worker.drain();
    EXPECT_EQ(recorder.kinds(), (Kinds { "deviceRemoved" }));
}

// The controller link holds the device it took from the arrival callback
// without a reference of its own: the device must live until its removal
// callback, in which the link lets go of it, has run.
struct UnretainedHolder
{
    IOHIDDeviceRef held = nullptr;
    int removals = 0;
    long locationAtRemoval = 0;

    static void take(void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        auto& self = *static_cast<UnretainedHolder*>(context);
        self.held = device;
        IOHIDDeviceRegisterRemovalCallback(device, letGo, context);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    static void letGo(void* context, IOReturn, void*)
    {
        auto& self = *static_cast<UnretainedHolder*>(context);
        ++self.removals;
        self.locationAtRemoval = numberProperty(self.held, kIOHIDLocationIDKey);
        IOHIDDeviceRegisterRemovalCallback(self.held, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop(self.held, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        self.held = nullptr;
    }
};

TEST_F(HIDDeviceRemoval, DeviceHeldWithoutAReferenceLivesUntilItsRemovalCallbackRan)
{
    UnretainedHolder holder;
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), UnretainedHolder::take, &holder);
    scheduleOnWorker();
    first->attach();
    worker.drain();
    ASSERT_NE(holder.held, nullptr);
    first->detach();
    worker.drain();
    EXPECT_EQ(holder.removals, 1);
    EXPECT_EQ(holder.locationAtRemoval, 1);
    EXPECT_EQ(holder.held, nullptr);
}
} // namespace
