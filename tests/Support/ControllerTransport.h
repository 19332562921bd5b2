// Carries reports between an emulated controller and the host, so that the
// same controller can be reached through any device source: the in-memory
// virtual devices, or a hidraw node emulated below the real Linux source.
#pragma once

#include "Support/EmulatedController.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvxtest
{

// What the controller tells the host about itself when it is plugged in.
struct ControllerIdentity
{
    long vendorID = KVX_VENDOR_ID;
    long productID = 14;
    long releaseNumber = 0x0123;
    long locationID = 0x01100000;
    long primaryUsagePage = 0xFF00;
    long primaryUsage = 0x01;
};

class ControllerTransport
{
public:
    virtual ~ControllerTransport() = default;

    // The host sees the controller arrive, or leave.
    virtual void plugIn() = 0;
    virtual void unplug() = 0;

    // An input report the controller sends of its own accord, of any length.
    virtual void sendInputReport(const std::vector<uint8_t>& report) = 0;

protected:
    explicit ControllerTransport(EmulatedController& controllerToCarry) : controller(controllerToCarry) {}

    // A transport calls this for each output report the host writes: the
    // controller answers it, stays silent or unplugs.
    void deliverOutputReport(const uint8_t* report, size_t length);

private:
    EmulatedController& controller;
};

} // namespace kvxtest
