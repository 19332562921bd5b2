// A clean HID utility library state over virtual devices, for each test.
#pragma once

#include "HID_Utilities.h"

#include <Platform/VirtualHID.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

class VirtualDeviceList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform::useVirtualDevices();
    }

    void TearDown() override
    {
        HIDReleaseDeviceList();
        if (gIOHIDManagerRef != nullptr)
            CFRelease(gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
        gDeviceIndex = 0;
        devices.clear();
    }

    platform::virtualhid::Device& attach(const platform::virtualhid::Properties& properties)
    {
        devices.push_back(std::make_unique<platform::virtualhid::Device>(properties));
        devices.back()->attach();
        return *devices.back();
    }

    platform::virtualhid::Device& attachAt(long long locationID)
    {
        platform::virtualhid::Properties properties;
        properties.setNumber(kIOHIDLocationIDKey, locationID);
        return attach(properties);
    }

    // The snapshot in walking order, as LocationIDs.
    static std::vector<long> walkLocations()
    {
        std::vector<long> locations;
        for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
            locations.push_back(IOHIDDevice_GetLocationID(device));
        return locations;
    }

    std::vector<std::unique_ptr<platform::virtualhid::Device>> devices;
};
