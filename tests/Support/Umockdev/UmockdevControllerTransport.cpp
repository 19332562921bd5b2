#include "Support/Umockdev/UmockdevControllerTransport.h"

#include <cstdio>
#include <stdexcept>

namespace kvxtest
{

namespace
{

// Set on umockdev's worker thread while it hands a written report to the controller.
thread_local bool deliveringOutput = false;

std::string hexNumber(long number)
{
    char text[24];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(number));
    return text;
}

// The inverse of the hidraw source's LocationID: the bus in the top byte, then
// one port per hexadecimal digit up to the first zero.
UsbPlacement usbPlacementAt(long locationID)
{
    const auto location = static_cast<uint32_t>(locationID);
    UsbPlacement usb;
    usb.busNumber = location >> 24;
    usb.portPath.clear();
    int shift = 20;

    for (; shift >= 0 && ((location >> shift) & 0xF) != 0; shift -= 4)
        usb.portPath += (usb.portPath.empty() ? "" : ".") + std::to_string((location >> shift) & 0xF);

    const uint32_t rest = shift >= 0 ? location & ((1u << (shift + 4)) - 1) : 0;

    if (usb.busNumber == 0 || usb.portPath.empty() || rest != 0)
        throw std::invalid_argument("LocationID " + hexNumber(locationID) + " names no USB port");

    return usb;
}

} // namespace

EmulatedHidDescription controllerDescription(const ControllerIdentity& identity)
{
    if (identity.primaryUsagePage != 0xFF00 || identity.primaryUsage != 0x01)
        throw std::invalid_argument("the emulated node has the controller's report descriptor only");

    EmulatedHidDescription description;
    description.vendorID = static_cast<uint32_t>(identity.vendorID);
    description.productID = static_cast<uint32_t>(identity.productID);
    description.name = "KVX KVX-TN";
    description.reportDescriptor = vendorReportDescriptor(controllerReportSize, controllerReportSize);
    description.usb = usbPlacementAt(identity.locationID);
    description.usb->bcdDevice = static_cast<uint16_t>(identity.releaseNumber);
    description.usb->manufacturer = "KVX";
    description.usb->product = "KVX-TN";
    description.physicalPath = "usb-0000:00:14.0-" + description.usb->portPath + "/input0";
    return description;
}

//==============================================================================
UmockdevControllerTransport::UmockdevControllerTransport(EmulatedController& controller, HidrawTestbed& testbedToUse,
                                                         const ControllerIdentity& identity)
    : ControllerTransport(controller),
      testbed(testbedToUse),
      description(controllerDescription(identity)),
      receiver(std::make_shared<Receiver>())
{
    receiver->transport = this;
}

UmockdevControllerTransport::~UmockdevControllerTransport()
{
    {
        std::lock_guard<std::mutex> guard(receiver->lock);
        receiver->transport = nullptr;
    }

    finishUnplugs();
    removeNode();
}

void UmockdevControllerTransport::plugIn()
{
    finishUnplugs();
    std::lock_guard<std::mutex> guard(nodeLock);

    if (plugged != nullptr)
        return;

    plugged = &testbed.plugIn(description);
    plugged->setOutputHandler([receiver = receiver](const std::vector<uint8_t>& written) {
        std::lock_guard<std::mutex> guard(receiver->lock);

        if (receiver->transport != nullptr)
            receiver->transport->receive(written);
    });
}

void UmockdevControllerTransport::unplug()
{
    if (! deliveringOutput)
    {
        removeNode();
        return;
    }

    std::lock_guard<std::mutex> guard(unplugLock);
    unplugs.emplace_back([this] { removeNode(); });
}

void UmockdevControllerTransport::sendInputReport(const std::vector<uint8_t>& report)
{
    std::lock_guard<std::mutex> guard(nodeLock);

    if (plugged != nullptr)
        plugged->sendInputReport(report);
}

EmulatedHidraw* UmockdevControllerTransport::node()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return plugged;
}

//==============================================================================
void UmockdevControllerTransport::receive(const std::vector<uint8_t>& written)
{
    // The kernel passes an unnumbered report to the device without the 0 that
    // leads it on the node, and any other first byte as part of the report.
    const size_t skipped = ! written.empty() && written[0] == 0 ? 1 : 0;

    deliveringOutput = true;
    deliverOutputReport(written.data() + skipped, written.size() - skipped);
    deliveringOutput = false;
}

void UmockdevControllerTransport::removeNode()
{
    EmulatedHidraw* removed = nullptr;

    {
        std::lock_guard<std::mutex> guard(nodeLock);
        std::swap(removed, plugged);
    }

    // Outside the lock: umockdev's worker may be delivering a report that
    // sends a reply through this transport meanwhile.
    if (removed != nullptr)
    {
        removed->setOutputHandler(nullptr);
        testbed.unplug(*removed);
    }
}

void UmockdevControllerTransport::finishUnplugs()
{
    std::vector<std::thread> finishing;

    {
        std::lock_guard<std::mutex> guard(unplugLock);
        finishing.swap(unplugs);
    }

    for (std::thread& thread : finishing)
        thread.join();
}

} // namespace kvxtest
