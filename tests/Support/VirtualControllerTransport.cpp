#include "Support/VirtualControllerTransport.h"

namespace kvxtest
{

namespace
{

// Fills a temporary that lives until the device has copied it.
const platform::virtualhid::Properties& describe(platform::virtualhid::Properties&& properties,
                                                 const ControllerIdentity& identity)
{
    return properties.setString(kIOHIDTransportKey, "USB")
        .setNumber(kIOHIDVendorIDKey, identity.vendorID)
        .setNumber(kIOHIDProductIDKey, identity.productID)
        .setNumber(kIOHIDVersionNumberKey, identity.releaseNumber)
        .setNumber(kIOHIDLocationIDKey, identity.locationID)
        .setString(kIOHIDProductKey, "KVX-TN")
        .setNumber(kIOHIDPrimaryUsagePageKey, identity.primaryUsagePage)
        .setNumber(kIOHIDPrimaryUsageKey, identity.primaryUsage)
        .setNumber(kIOHIDMaxInputReportSizeKey, static_cast<long long>(controllerReportSize))
        .setNumber(kIOHIDMaxOutputReportSizeKey, static_cast<long long>(controllerReportSize))
        .addUsagePair(static_cast<uint32_t>(identity.primaryUsagePage), static_cast<uint32_t>(identity.primaryUsage));
}

} // namespace

VirtualControllerTransport::VirtualControllerTransport(EmulatedController& controller, const ControllerIdentity& identity)
    : ControllerTransport(controller),
      virtualDevice(describe(platform::virtualhid::Properties(), identity))
{
    // Runs on the sender's thread inside IOHIDDeviceSetReport; the reply is
    // injected from there and reaches the host on its device's run loop.
    virtualDevice.setOutputHandler([this](const platform::virtualhid::Report& report) {
        deliverOutputReport(report.bytes.data(), report.bytes.size());
        return kIOReturnSuccess;
    });
}

void VirtualControllerTransport::plugIn()
{
    virtualDevice.attach();
}

void VirtualControllerTransport::unplug()
{
    virtualDevice.detach();
}

void VirtualControllerTransport::sendInputReport(const std::vector<uint8_t>& report)
{
    virtualDevice.injectInput(report);
}

} // namespace kvxtest
