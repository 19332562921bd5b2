// The emulated controller's end of one transport: it answers each output report
// through a function, on the thread that delivers the report, and can note
// when each report arrived and when its reply left.
//
//   VirtualEndpoint:  the platform's in-memory device source; the report
//                     arrives on the sender's thread, inside its send.
//   UmockdevEndpoint: an emulated /dev/hidraw node under the real Linux source;
//                     the report arrives on umockdev's worker thread. The
//                     process must run under umockdev-wrapper.
#pragma once

#include "BenchFigures.h"

#include "Support/EmulatedController.h"
#include "Support/Umockdev/EmulatedHidraw.h"
#include "Support/VirtualControllerTransport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace bench
{

// The reply to one output report (without report ID); empty: no reply.
using Answer = std::function<std::vector<uint8_t>(const uint8_t* report, size_t length)>;

class ExchangeLog
{
public:
    // Forgets what was noted and notes from now on; nothing is noted before the
    // first call, since noting costs memory.
    void keepTimes(size_t expectedExchanges);
    void noteArrival();
    void noteReply();

    size_t exchanges() const;
    // From each reply's departure to the arrival of the next report.
    std::vector<double> replyToNextReportMicroseconds() const;
    // Over the time from the first report's arrival to the last reply's departure.
    double exchangesPerSecond() const;

private:
    mutable std::mutex lock;
    bool keeping = false;
    std::vector<Clock::time_point> arrivals;
    std::vector<Clock::time_point> replies;
};

class ControllerEndpoint
{
public:
    virtual ~ControllerEndpoint() = default;

    // Set before the first report arrives.
    void answerWith(Answer answer) { answerReport = std::move(answer); }
    ExchangeLog& log() { return exchangeLog; }

protected:
    void receive(const uint8_t* report, size_t length);
    virtual void send(const std::vector<uint8_t>& reply) = 0;

private:
    Answer answerReport;
    ExchangeLog exchangeLog;
};

class VirtualEndpoint : public ControllerEndpoint
{
public:
    // Plugs the controller in; platform::useVirtualDevices() must have been called.
    VirtualEndpoint();

private:
    void send(const std::vector<uint8_t>& reply) override;

    kvxtest::EmulatedController unused; // the transport's, replaced by the answer function
    kvxtest::VirtualControllerTransport transport { unused };
};

class UmockdevEndpoint : public ControllerEndpoint
{
public:
    // Plugs the controller's node into a testbed of its own.
    UmockdevEndpoint();
    ~UmockdevEndpoint() override;

    const std::string& devnode() const { return node.devnode(); }

private:
    void send(const std::vector<uint8_t>& reply) override;

    kvxtest::HidrawTestbed testbed;
    kvxtest::EmulatedHidraw& node;
};

} // namespace bench
