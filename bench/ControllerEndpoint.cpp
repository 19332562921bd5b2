#include "ControllerEndpoint.h"

#include "Support/Umockdev/UmockdevControllerTransport.h"

namespace bench
{

void ExchangeLog::keepTimes(size_t expectedExchanges)
{
    std::lock_guard<std::mutex> guard(lock);
    keeping = true;
    arrivals.clear();
    replies.clear();
    arrivals.reserve(expectedExchanges);
    replies.reserve(expectedExchanges);
}

void ExchangeLog::noteArrival()
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> guard(lock);
    if (keeping)
        arrivals.push_back(now);
}

void ExchangeLog::noteReply()
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> guard(lock);
    if (keeping)
        replies.push_back(now);
}

size_t ExchangeLog::exchanges() const
{
    std::lock_guard<std::mutex> guard(lock);
    return replies.size();
}

std::vector<double> ExchangeLog::replyToNextReportMicroseconds() const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<double> gaps;
    for (size_t i = 0; i + 1 < arrivals.size() && i < replies.size(); ++i)
        gaps.push_back(microsecondsBetween(replies[i], arrivals[i + 1]));
    return gaps;
}

double ExchangeLog::exchangesPerSecond() const
{
    std::lock_guard<std::mutex> guard(lock);
    if (replies.empty())
        return 0;
    return static_cast<double>(replies.size()) / microsecondsBetween(arrivals.front(), replies.back()) * 1e6;
}

//==============================================================================
void ControllerEndpoint::receive(const uint8_t* report, size_t length)
{
    exchangeLog.noteArrival();
    const auto reply = answerReport(report, length);
    if (reply.empty())
        return;
    send(reply);
    exchangeLog.noteReply();
}

//==============================================================================
VirtualEndpoint::VirtualEndpoint()
{
    transport.device().setOutputHandler([this](const platform::virtualhid::Report& report) {
        // The device keeps every report sent to it for the tests: 16 MiB of
        // update would make that record the largest thing in the process.
        transport.device().clearSentReports();
        receive(report.bytes.data(), report.bytes.size());
        return kIOReturnSuccess;
    });
    transport.plugIn();
}

void VirtualEndpoint::send(const std::vector<uint8_t>& reply)
{
    transport.sendInputReport(reply);
}

//==============================================================================
UmockdevEndpoint::UmockdevEndpoint()
    : node(testbed.plugIn(kvxtest::controllerDescription(kvxtest::ControllerIdentity())))
{
    node.setOutputHandler([this](const std::vector<uint8_t>& written) {
        // The node's writes lead with the report ID, 0 for the controller's reports.
        if (! written.empty())
            receive(written.data() + 1, written.size() - 1);
    });
}

UmockdevEndpoint::~UmockdevEndpoint()
{
    node.setOutputHandler(nullptr);
}

void UmockdevEndpoint::send(const std::vector<uint8_t>& reply)
{
    node.sendInputReport(reply);
}

} // namespace bench
