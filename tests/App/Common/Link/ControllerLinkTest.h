// The controller link end to end, from the application's handle down to an
// emulated controller, over any device source. The scenarios are written once;
// each test binary instantiates them for the sources it can reach: link_tests
// for the virtual devices, link_umockdev_tests for hidraw nodes that umockdev
// emulates below the real Linux source.
#pragma once

#include "HidCtrl.h"

#include "Support/ControllerTransport.h"
#include "Support/EmulatedController.h"
#include "Support/RecordingHidHandler.h"
#include "Support/RunLoopTest.h"

#include <list>
#include <memory>
#include <ostream>
#include <vector>

namespace kvxtest
{

// Where the scenarios plug their controllers in.
struct ControllerSource
{
    const char* name;
    // Makes the source the one that HID managers created from now on follow.
    void (*becomeDefault)();
    // A transport that puts the controller on this source, not yet plugged in.
    std::unique_ptr<ControllerTransport> (*connect)(EmulatedController& controller, const ControllerIdentity& identity);
};

void PrintTo(const ControllerSource& source, std::ostream* stream);

class ControllerLinkTest : public RunLoopTest, public ::testing::WithParamInterface<ControllerSource>
{
protected:
    struct PluggedController
    {
        // The output reports that have reached the controller.
        size_t reportsReceived() const;

        EmulatedController emulated;
        std::unique_ptr<ControllerTransport> transport;
    };

    ControllerLinkTest();
    ~ControllerLinkTest() override;

    // A new controller at the given LocationID, plugged in.
    PluggedController& plugIn(long locationID = ControllerIdentity().locationID);
    // Starts the link the way the application does, with the update file valid.
    void start();

    // Sends the report through the handle; its reply code, or -1 when the send
    // failed or no reply came.
    int exchange(std::vector<uint8_t> report);
    bool sendFinish();

    // Dispatches until the controller has received this many reports.
    bool awaitReports(const PluggedController& controller, size_t count);
    // After an unplug and a plug-in: one removal, one matching, and the
    // controller held and reached again.
    void expectHeldAgainAfterOneRemoval(const PluggedController& controller);

    HidCtrl ctrl;
    RecordingHidHandler handler { &ctrl };
    std::list<PluggedController> controllers;
};

} // namespace kvxtest
