// Base of the tests that drive a whole MainComponent: an update file beside the
// executable, an emulated controller on a virtual device, and the test thread
// as the message thread.
#pragma once

#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include "Support/EmulatedController.h"
#include "Support/VirtualControllerTransport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace uitest
{

// The virtual controller, with a look at the sender just before each report
// reaches the controller.
class ObservedTransport : public kvxtest::VirtualControllerTransport
{
public:
    explicit ObservedTransport(kvxtest::EmulatedController& controller);

    // Runs on the sending thread, inside the send; set it before the update starts.
    std::function<void(const std::vector<uint8_t>&)> beforeEachReport;
};

class ComponentTest : public ::testing::Test
{
protected:
    // Sections of one, two and one block(s), all marked, version 1.23.
    ComponentTest();
    void TearDown() override;

    void placeUpdateFile();
    void createComponent();
    // A sound file, the controller plugged in, the component on its ready screen.
    void createReadyComponent();
    void startUpdate();

    void pressOk();
    void pressCancel();

    // Dispatches until the update thread has ended and its final state shows;
    // false when it has not within the bound.
    bool runUntilFinished(int boundMs = 60000);
    // For tests that expect a time-out: half a second instead of 10 s and 180 s.
    static void shortenWaits();

    // Each report the host sent, as "F3 02": its code and argument.
    std::vector<std::string> commandsSent() const;
    std::vector<std::vector<uint8_t>> reportsSent() const;

    UpdateFileParts parts;
    kvxtest::EmulatedController controller;
    ObservedTransport transport { controller };
    std::unique_ptr<FileBesideExecutable> file;
    std::unique_ptr<MainComponentProbe> component;
};

std::string describeCommand(uint8_t code, uint8_t argument);

} // namespace uitest
