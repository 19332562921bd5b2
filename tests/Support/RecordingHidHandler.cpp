#include "Support/RecordingHidHandler.h"

namespace kvxtest
{

RecordingHidHandler::Snapshot RecordingHidHandler::snapshot() const
{
    if (watched == nullptr)
        return {};

    const uint8_t* data = watched->getData();
    return { watched->getState(), watched->getVersion(), watched->getLength(), std::vector<uint8_t>(data, data + 256) };
}

} // namespace kvxtest
