#include "HID_Error_Handler.h"

#include <atomic>
#include <cstdio>

namespace
{
// Atomic, unlike the rest of the library's globals: the reporters may be reached
// from whatever thread happens to call into the library.
std::atomic<HIDErrorObserver> errorObserver { nullptr };

const char* orEmpty(const char* text)
{
    return text != nullptr ? text : "";
}

void deliver(const char* formattedReport)
{
    if (const auto observer = errorObserver.load())
        observer(formattedReport);
}
} // namespace

void HIDReportError(const char* strError)
{
    char report[256];
    std::snprintf(report, sizeof report, "%s", orEmpty(strError));
    deliver(report);
}

void HIDReportErrorNum(const char* strError, int numError)
{
    char report[256];
    std::snprintf(report, sizeof report, "%s #%d (0x%x)", orEmpty(strError), numError,
                  static_cast<unsigned int>(numError));
    deliver(report);
}

HIDErrorObserver hu_SetErrorObserver(HIDErrorObserver observer)
{
    return errorObserver.exchange(observer);
}
