// Lists the HID devices that the HID utility library finds, one line each:
//     vendor 0x1209 product 14 version 0x0123 location 0x01100000
// With "--finish" it then sends the update protocol's finish report (0xF2) to
// the first device and prints the code that leads the reply ("reply 0xFC").
// Tests start it in place of the application, against emulated devices.
#include "HID_Utilities.h"

#include <Platform/RunLoop.h>

#include <cstdio>
#include <cstring>
#include <poll.h>

namespace
{

uint8_t reply[64];
CFIndex replyLength = -1;

void replyReceived(void*, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex length)
{
    replyLength = length;
}

void printDevice(IOHIDDeviceRef device)
{
    std::printf("vendor 0x%04lX product %ld version 0x%04lX location 0x%08lX\n",
                static_cast<unsigned long>(IOHIDDevice_GetVendorID(device)), IOHIDDevice_GetProductID(device),
                static_cast<unsigned long>(IOHIDDevice_GetVersionNumber(device)),
                static_cast<unsigned long>(IOHIDDevice_GetLocationID(device)) & 0xFFFFFFFFul);
}

bool exchangeFinish(IOHIDDeviceRef device)
{
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    IOHIDDeviceRegisterInputReportCallback(device, reply, sizeof(reply), replyReceived, nullptr);
    IOHIDDeviceScheduleWithRunLoop(device, runLoop, kCFRunLoopDefaultMode);

    uint8_t finish[64] = { 0xF2 };
    const bool sent = IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, finish, sizeof(finish)) == kIOReturnSuccess;
    pollfd ready { platform::runLoopDescriptor(runLoop), POLLIN, 0 };

    // A silent device ends the wait after ten seconds without any event.
    while (sent && replyLength < 0 && poll(&ready, 1, 10000) > 0)
        platform::runLoopDispatch(runLoop);

    IOHIDDeviceUnscheduleFromRunLoop(device, runLoop, kCFRunLoopDefaultMode);

    if (replyLength < 1)
        return false;

    std::printf("reply 0x%02X\n", reply[0]);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (! HIDBuildDeviceList(0, 0))
        return 1;

    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        printDevice(device);

    const bool exchanged = argc < 2 || std::strcmp(argv[1], "--finish") != 0
                           || (HIDGetFirstDevice() != nullptr && exchangeFinish(HIDGetFirstDevice()));
    HIDReleaseDeviceList();
    return exchanged ? 0 : 2;
}
