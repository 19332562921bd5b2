#include "Support/ControllerTransport.h"

namespace kvxtest
{

void ControllerTransport::deliverOutputReport(const uint8_t* report, size_t length)
{
    const ControllerReaction reaction = controller.receiveOutputReport(report, length);

    switch (reaction.kind)
    {
        case ControllerReaction::Kind::reply:   sendInputReport(reaction.report); break;
        case ControllerReaction::Kind::unplug:  unplug(); break;
        case ControllerReaction::Kind::silence: break;
    }
}

} // namespace kvxtest
