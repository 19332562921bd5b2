#include "ComponentTest.h"

#include "MessageLoop.h"

#include <cstdio>

namespace uitest
{

ObservedTransport::ObservedTransport(kvxtest::EmulatedController& controller)
    : kvxtest::VirtualControllerTransport(controller)
{
    device().setOutputHandler([this](const platform::virtualhid::Report& report) {
        if (beforeEachReport)
            beforeEachReport(report.bytes);

        deliverOutputReport(report.bytes.data(), report.bytes.size());
        return kIOReturnSuccess;
    });
}

//==============================================================================
ComponentTest::ComponentTest()
{
    parts.sections = { testPattern(62, 0x10), testPattern(63, 0x20), testPattern(5, 0x30) };
}

void ComponentTest::TearDown()
{
    component.reset();
    MainComponentProbe::restoreWaits();
    transport.unplug();
    runPendingMessages();
}

void ComponentTest::placeUpdateFile()
{
    file = std::make_unique<FileBesideExecutable>(MainComponentProbe::updateFileName, parts.build());
}

void ComponentTest::createComponent()
{
    component = std::make_unique<MainComponentProbe>();
}

void ComponentTest::createReadyComponent()
{
    placeUpdateFile();
    transport.plugIn();
    createComponent();
    ASSERT_TRUE(component->isUpdateFileValid());
    pressOk();
    ASSERT_EQ(SeqReady, component->getSequence());
}

void ComponentTest::startUpdate()
{
    createReadyComponent();
    pressOk();
}

void ComponentTest::pressOk()
{
    component->buttonClicked(component->getOkButton());
}

void ComponentTest::pressCancel()
{
    component->buttonClicked(component->getCancelButton());
}

bool ComponentTest::runUntilFinished(int boundMs)
{
    return runMessageLoopUntil([this] {
        const int state = component->getSequence();
        return ! component->isThreadRunning() && (state == SeqComplete || state == SeqError);
    }, boundMs);
}

void ComponentTest::shortenWaits()
{
    MainComponentProbe::setTimeouts(500, 500);
}

std::vector<std::vector<uint8_t>> ComponentTest::reportsSent() const
{
    std::vector<std::vector<uint8_t>> reports;

    for (const auto& entry : controller.transcript())
        if (entry.fromHost)
            reports.push_back(entry.bytes);

    return reports;
}

std::vector<std::string> ComponentTest::commandsSent() const
{
    std::vector<std::string> commands;

    for (const auto& report : reportsSent())
        commands.push_back(report.size() < 2 ? "short report" : describeCommand(report[0], report[1]));

    return commands;
}

std::string describeCommand(uint8_t code, uint8_t argument)
{
    char text[8];
    std::snprintf(text, sizeof(text), "%02X %02X", code, argument);
    return text;
}

} // namespace uitest
