// An emulated controller on an emulated USB hidraw node: the real Linux device
// source finds it through libudev and talks to it through /dev/hidrawN, while
// its reports are answered here. The binary must run under umockdev-wrapper.
#pragma once

#include "Support/ControllerTransport.h"
#include "Support/Umockdev/EmulatedHidraw.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kvxtest
{

// The controller's node: its identity on USB at the bus and ports that the
// LocationID encodes (0x01230000: bus 1, port 2, then port 3), with the
// controller's report descriptor (vendor page 0xFF00, usage 1, unnumbered
// 64-byte input and output reports). Throws std::invalid_argument for a
// LocationID that names no USB port, or another primary usage.
EmulatedHidDescription controllerDescription(const ControllerIdentity& identity);

class UmockdevControllerTransport : public ControllerTransport
{
public:
    // The testbed must outlive the transport.
    UmockdevControllerTransport(EmulatedController& controller, HidrawTestbed& testbed,
                                const ControllerIdentity& identity = {});
    // Unplugs the controller, and waits for an unplug that the controller began.
    ~UmockdevControllerTransport() override;
    UmockdevControllerTransport(const UmockdevControllerTransport&) = delete;
    UmockdevControllerTransport& operator=(const UmockdevControllerTransport&) = delete;

    // Each plug-in is a new node, as a real reconnection is.
    void plugIn() override;
    // From the controller's own reaction it returns at once and the unplug
    // follows on a thread of its own: umockdev's worker, which delivers the
    // report, cannot wait for umockdev.
    void unplug() override;
    void sendInputReport(const std::vector<uint8_t>& report) override;

    // The node while the controller is plugged in, else null.
    EmulatedHidraw* node();

private:
    // Outlives the transport in the node's output handler, so that a report
    // delivered while the transport goes away finds it gone.
    struct Receiver
    {
        std::mutex lock;
        UmockdevControllerTransport* transport = nullptr;
    };

    void receive(const std::vector<uint8_t>& written);
    void removeNode();
    void finishUnplugs();

    HidrawTestbed& testbed;
    const EmulatedHidDescription description;
    const std::shared_ptr<Receiver> receiver;

    std::mutex nodeLock;
    EmulatedHidraw* plugged = nullptr;

    std::mutex unplugLock;
    std::vector<std::thread> unplugs;
};

} // namespace kvxtest
