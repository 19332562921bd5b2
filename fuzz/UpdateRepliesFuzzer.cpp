// Arbitrary replies from the controller during an update: a whole MainComponent
// runs its update against a virtual controller that answers each report with
// the next report of the input, of any length and content, and with an all-zero
// report once the input is used up. Whatever the replies, the update reaches a
// final screen, and it reports success only after the controller accepted the
// start and reported the finish done.
#include "FuzzMessageThread.h"
#include "MainComponentProbe.h"
#include "MessageLoop.h"
#include "ReportStream.h"
#include "UpdateFileBuilder.h"

#include "Support/EmulatedController.h"
#include "Support/VirtualControllerTransport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{

using uitest::MainComponentProbe;

constexpr uint8_t startAccepted = 0xF8;
constexpr uint8_t finishDone = 0xFC;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}

// Answers on the update thread, inside its send; the stream is set before the
// thread starts and read by it alone.
class ScriptedController : public kvxtest::VirtualControllerTransport
{
public:
    ScriptedController() : kvxtest::VirtualControllerTransport(unusedController())
    {
        device().setOutputHandler([this](const platform::virtualhid::Report&) {
            answer();
            return kIOReturnSuccess;
        });
    }

    void script(fuzzsupport::ReportStream* replies)
    {
        stream = replies;
        codes.clear();
        device().clearSentReports();
    }

    // Byte 0 of each reply that the component acts on; 0 for an all-zero report.
    std::vector<uint8_t> codes;

private:
    void answer()
    {
        const std::vector<uint8_t> reply = stream->atEnd() ? std::vector<uint8_t>() : stream->take();
        if (! reply.empty())
        {
            sendInputReport(reply);
            codes.push_back(reply[0]);
            return;
        }
        // An empty report is ignored by the component; the zero report after it
        // ends the wait at once instead of its time-out.
        sendInputReport(reply);
        sendInputReport(std::vector<uint8_t>(64, 0));
        codes.push_back(0);
    }

    // The transport's own controller, which the scripted answers replace.
    static kvxtest::EmulatedController& unusedController()
    {
        static kvxtest::EmulatedController controller;
        return controller;
    }

    fuzzsupport::ReportStream* stream = nullptr;
};

struct UpdateSetting
{
    UpdateSetting()
    {
        fuzzsupport::startMessageThread();
        uitest::UpdateFileParts parts;
        parts.sections = { uitest::testPattern(62, 0x10), uitest::testPattern(63, 0x20), uitest::testPattern(5, 0x30) };
        file = std::make_unique<uitest::FileBesideExecutable>(MainComponentProbe::updateFileName, parts.build());
        controller.plugIn();
        // A reply that never comes is a fault here: let it cost a second, not minutes.
        MainComponentProbe::setTimeouts(1000, 1000);
    }

    std::unique_ptr<uitest::FileBesideExecutable> file;
    ScriptedController controller;
};

void runUpdate(MainComponentProbe& component)
{
    component.buttonClicked(component.getOkButton());
    if (component.getSequence() != SeqReady)
        fail("not ready to update: screen " + std::to_string(component.getSequence()));
    component.buttonClicked(component.getOkButton());

    const bool finished = uitest::runMessageLoopUntil([&component] {
        // Cuts the pause after each finishing reply, which only waits for the controller.
        component.notify();
        const int state = component.getSequence();
        return ! component.isThreadRunning() && (state == SeqComplete || state == SeqError);
    });
    if (! finished)
        fail("no final screen: screen " + std::to_string(component.getSequence()));
}

void checkOutcome(const MainComponentProbe& component, const std::vector<uint8_t>& codes)
{
    const bool succeeded = component.getSequence() == SeqComplete;
    if (succeeded && (codes.empty() || codes.front() != startAccepted || codes.back() != finishDone))
        fail("success without the start accepted and the finish done");
    if (component.getProgress() < 0.0 || component.getProgress() > 2.55)
        fail("progress " + std::to_string(component.getProgress()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static UpdateSetting setting;

    fuzzsupport::ReportStream replies(bytes, size);
    setting.controller.script(&replies);

    auto component = std::make_unique<MainComponentProbe>();
    runUpdate(*component);
    checkOutcome(*component, setting.controller.codes);
    return 0;
}
