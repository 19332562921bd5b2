#include "Platform/IOKit/HIDTestSupport.h"

#include <atomic>

namespace
{
using namespace platformtest;
using platform::virtualhid::Device;
using platform::virtualhid::Properties;

//==============================================================================
// Properties as the registry would give them.
TEST(VirtualDeviceProperties, ThirtyTwoBitValuesAreSigned32BitNumbers)
{
    Properties properties;
    properties.setNumber(kIOHIDLocationIDKey, 0x80000000LL);
    auto location = static_cast<CFNumberRef>(CFDictionaryGetValue(properties.dictionary(), CFSTR(kIOHIDLocationIDKey)));
    int32_t narrow = 0;
    EXPECT_EQ(CFNumberGetType(location), kCFNumberSInt32Type);
    EXPECT_TRUE(CFNumberGetValue(location, kCFNumberSInt32Type, &narrow));
    EXPECT_EQ(narrow, INT32_MIN);
}

//==============================================================================
// Attaching and detaching as a test drives it.
class VirtualDeviceLifecycle : public VirtualDevicesTest
{
protected:
    VirtualDeviceLifecycle() { IOHIDManagerSetDeviceMatching(manager.get(), nullptr); }

    size_t deviceCount() const
    {
        auto devices = Retained<CFSetRef>::adopt(IOHIDManagerCopyDevices(manager.get()));
        return devices ? static_cast<size_t>(CFSetGetCount(devices.get())) : 0;
    }
};

TEST_F(VirtualDeviceLifecycle, DeviceWithoutPropertiesIsStillADevice)
{
    Device bare(nullptr);
    bare.attach();
    ASSERT_EQ(deviceCount(), 1u);
    auto devices = Retained<CFSetRef>::adopt(IOHIDManagerCopyDevices(manager.get()));
    const void* only = nullptr;
    CFSetGetValues(devices.get(), &only);
    auto device = static_cast<IOHIDDeviceRef>(const_cast<void*>(only));
    EXPECT_EQ(CFGetTypeID(device), IOHIDDeviceGetTypeID());
    EXPECT_EQ(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDVendorIDKey)), nullptr);
}

TEST_F(VirtualDeviceLifecycle, AttachAndDetachTwiceActOnce)
{
    auto device = makeDevice(1);
    device->attach();
    device->attach();
    EXPECT_TRUE(device->isAttached());
    EXPECT_EQ(deviceCount(), 1u);
    device->detach();
    device->detach();
    EXPECT_FALSE(device->isAttached());
    EXPECT_EQ(deviceCount(), 0u);
}

TEST_F(VirtualDeviceLifecycle, DestroyingADeviceUnplugsIt)
{
    {
        auto device = makeDevice(1);
        device->attach();
        EXPECT_EQ(deviceCount(), 1u);
    }
    EXPECT_EQ(deviceCount(), 0u);
}

TEST_F(VirtualDeviceLifecycle, OpenCountFollowsEveryDeviceObjectThatHoldsItOpen)
{
    auto device = makeDevice(1);
    device->attach();
    EXPECT_EQ(device->openCount(), 0);
    IOHIDManagerOpen(manager.get(), 0);
    auto other = Retained<IOHIDManagerRef>::adopt(IOHIDManagerCreate(kCFAllocatorDefault, 0));
    IOHIDManagerSetDeviceMatching(other.get(), nullptr);
    IOHIDManagerOpen(other.get(), 0);
    EXPECT_EQ(device->openCount(), 2);
    IOHIDManagerClose(manager.get(), 0);
    EXPECT_EQ(device->openCount(), 1);
    other = {};
    EXPECT_EQ(device->openCount(), 0);
}

// Plugging, unplugging, injecting and sending from several threads at once,
// while a run loop delivers: meant for the sanitizers, which catch what races.
TEST_F(VirtualDeviceLifecycle, ConcurrentUseStaysConsistent)
{
    RunLoopThread worker;
    IOHIDManagerOpen(manager.get(), 0);
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), Recorder::matched, &recorder);
    IOHIDManagerRegisterDeviceRemovalCallback(manager.get(), Recorder::managerRemoved, &recorder);
    IOHIDManagerScheduleWithRunLoop(manager.get(), worker.getRunLoop(), kCFRunLoopDefaultMode);
    auto device = makeDevice(1);
    std::atomic<bool> stop { false };
    std::thread plugger(
        [&]
        {
            for (int round = 0; round < 200; ++round)
            {
                device->attach();
                device->detach();
            }
            stop = true;
        });
    std::thread user(
        [&]
        {
            const uint8_t report[] = { 0xf0 };
            while (!stop)
            {
                device->injectInput({ 1, 2, 3 });
                // The copied set holds the device while it is used, as a caller must.
                auto devices = Retained<CFSetRef>::adopt(IOHIDManagerCopyDevices(manager.get()));
                const void* object = nullptr;
                if (devices)
                    CFSetGetValues(devices.get(), &object);
                if (object != nullptr)
                    IOHIDDeviceSetReport(static_cast<IOHIDDeviceRef>(const_cast<void*>(object)),
                                         kIOHIDReportTypeOutput, 0, report, 1);
            }
        });
    plugger.join();
    user.join();
    worker.drain();
    const auto kinds = recorder.kinds();
    const auto matches = std::count(kinds.begin(), kinds.end(), "matched");
    const auto removals = std::count(kinds.begin(), kinds.end(), "managerRemoved");
    EXPECT_EQ(matches, removals);
    EXPECT_EQ(deviceCount(), 0u);
}
} // namespace
