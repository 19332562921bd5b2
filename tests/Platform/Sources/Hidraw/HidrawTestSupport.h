// What the hidraw source's tests share: a suite-wide testbed with the hidraw
// source as the process default, a HID manager that sees every device, property
// readers and a bounded wait on the current thread's run loop.
#pragma once

#include "Support/Umockdev/EmulatedHidraw.h"

#include <IOKit/hid/IOHIDLib.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvxtest
{

// Dispatches the current thread's run loop until done() holds; false when it
// still does not after a few seconds (the emulated events travel through sockets).
bool runUntil(const std::function<bool()>& done);
// The same for events delivered on other threads: waits without dispatching.
bool eventually(const std::function<bool()>& done);

std::optional<uint32_t> numberProperty(IOHIDDeviceRef device, const char* key);
std::optional<std::string> stringProperty(IOHIDDeviceRef device, const char* key);
bool hasProperty(IOHIDDeviceRef device, const char* key);

// A manager that matches every device, opened, with its own copy of the set.
class OpenManager
{
public:
    OpenManager();
    ~OpenManager();
    OpenManager(const OpenManager&) = delete;
    OpenManager& operator=(const OpenManager&) = delete;

    IOHIDManagerRef get() const { return manager; }
    std::vector<IOHIDDeviceRef> devices() const;
    // The device whose number property has this value; null when there is none.
    IOHIDDeviceRef deviceWith(const char* key, uint32_t value) const;

private:
    IOHIDManagerRef manager;
};

class HidrawSuite : public ::testing::Test
{
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;
    void TearDown() override;

    static HidrawTestbed* testbed;
};

// The controller's identity on the given port of bus 1.
EmulatedHidDescription controllerOnPort(const std::string& portPath);

} // namespace kvxtest
