// Arbitrary input reports from the controller, of any length and content, fed
// to the controller link over a virtual device: each must reach the handler
// once, cut to 64 bytes, land at the start of the link's copy without touching
// the rest of it, and leave the controller attached.
#include "HidCtrl.h"
#include "ReportStream.h"

#include "Support/EmulatedController.h"
#include "Support/RecordingHidHandler.h"
#include "Support/VirtualControllerTransport.h"

#include <Platform/RunLoop.h>
#include <Platform/VirtualHID.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

constexpr size_t largestReport = 64;
constexpr size_t copySize = 256;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}

struct Link
{
    Link()
    {
        platform::useVirtualDevices();
        controller.plugIn();
        if (! ctrl.initialize(&handler, 1) || ctrl.getState() != HidAttached)
            fail("the controller was not found");
    }

    kvxtest::EmulatedController emulated;
    kvxtest::VirtualControllerTransport controller { emulated };
    HidCtrl ctrl;
    kvxtest::RecordingHidHandler handler { &ctrl };
};

void checkCopy(HidCtrl& ctrl, const std::vector<uint8_t>& report, const std::vector<uint8_t>& before)
{
    const size_t landed = std::min(report.size(), largestReport);
    const uint8_t* copy = ctrl.getData();

    if (ctrl.getLength() != landed)
        fail("length " + std::to_string(ctrl.getLength()) + " for a report of " + std::to_string(report.size()));
    if (! std::equal(copy, copy + landed, report.begin()))
        fail("the report's bytes differ in the copy");
    if (! std::equal(copy + landed, copy + copySize, before.begin() + static_cast<long>(landed)))
        fail("bytes after the report changed");
    if (ctrl.getState() != HidAttached)
        fail("state " + std::to_string(ctrl.getState()) + " after an input report");
}

void receive(Link& link, const std::vector<uint8_t>& report)
{
    const std::vector<uint8_t> before(link.ctrl.getData(), link.ctrl.getData() + copySize);
    link.handler.inputs.clear();

    link.controller.sendInputReport(report);
    platform::runLoopDispatch(CFRunLoopGetCurrent());

    if (link.handler.inputs.size() != 1 || link.handler.callCount() != 1)
        fail(std::to_string(link.handler.callCount()) + " handler calls for one report");
    checkCopy(link.ctrl, report, before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static Link link;

    for (fuzzsupport::ReportStream reports(bytes, size); ! reports.atEnd();)
        receive(link, reports.take());
    return 0;
}
