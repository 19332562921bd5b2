// A HidHandler that remembers each call and, when it watches a HidCtrl, what
// the handle showed at that moment.
#pragma once

#include "HidCtrl.h"

#include <cstdint>
#include <vector>

namespace kvxtest
{

class RecordingHidHandler : public HidHandler
{
public:
    struct Snapshot
    {
        int state = 0;
        int version = 0;
        unsigned int length = 0;
        std::vector<uint8_t> data;
    };

    explicit RecordingHidHandler(HidCtrl* handleToWatch = nullptr) : watched(handleToWatch) {}

    void removalCallBack() override { removals.push_back(snapshot()); }
    void matchingCallBack() override { matchings.push_back(snapshot()); }
    void inputCallBack() override { inputs.push_back(snapshot()); }

    size_t callCount() const { return removals.size() + matchings.size() + inputs.size(); }

    std::vector<Snapshot> removals;
    std::vector<Snapshot> matchings;
    std::vector<Snapshot> inputs;

private:
    Snapshot snapshot() const;

    HidCtrl* watched;
};

} // namespace kvxtest
