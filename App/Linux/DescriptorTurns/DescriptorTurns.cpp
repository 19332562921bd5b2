#include "DescriptorTurns.h"

namespace
{
    std::shared_mutex& getTurns()
    {
        static std::shared_mutex turns;
        return turns;
    }
}

ScopedDescriptorTurn::ScopedDescriptorTurn()
    : lock (getTurns())
{
}

ScopedChildProcessTurn::ScopedChildProcessTurn()
    : lock (getTurns())
{
}
