// An emulated controller plugged into the platform's in-memory device source.
#pragma once

#include "Support/ControllerTransport.h"

#include <Platform/VirtualHID.h>

namespace kvxtest
{

class VirtualControllerTransport : public ControllerTransport
{
public:
    VirtualControllerTransport(EmulatedController& controller, const ControllerIdentity& identity = {});

    void plugIn() override;
    void unplug() override;
    void sendInputReport(const std::vector<uint8_t>& report) override;

    // The device behind the transport, for what a test checks at the USB level.
    platform::virtualhid::Device& device() { return virtualDevice; }

private:
    platform::virtualhid::Device virtualDevice;
};

} // namespace kvxtest
