// The controller's side of the update protocol as the benchmarks need it: every
// report is answered at once with the reply that lets the update go on, and
// nothing is kept but what the replies depend on, so that the figures measure
// the updater and not an emulator's bookkeeping (the tests' EmulatedController
// keeps a transcript of every report).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench
{

class PromptController
{
public:
    // The reply to one output report without its report ID; empty for a
    // report that is no command of the update.
    std::vector<uint8_t> answer(const uint8_t* report, size_t length);

private:
    std::vector<uint8_t> reply(uint8_t code) const;
    void takeStart(const uint8_t* report);
    uint8_t dataReplyCode();

    std::array<uint32_t, 3> blocksPerSection {};
    uint32_t blocksOfSection = 0;
    uint32_t blocksReceived = 0;
    uint64_t blocksInAll = 0;
    uint64_t blocksSent = 0;
};

} // namespace bench
