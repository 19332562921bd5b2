// Captures what the library's error reporters format, for the length of a test.
#pragma once

#include "HID_Error_Handler.h"

#include <string>
#include <utility>
#include <vector>

class ReportedErrors
{
public:
    ReportedErrors() : previous(hu_SetErrorObserver(&ReportedErrors::observe)) { reports().clear(); }
    ~ReportedErrors() { hu_SetErrorObserver(previous); }
    ReportedErrors(const ReportedErrors&) = delete;
    ReportedErrors& operator=(const ReportedErrors&) = delete;

    // Every report since the last take, oldest first.
    std::vector<std::string> take() { return std::exchange(reports(), {}); }

private:
    static std::vector<std::string>& reports()
    {
        static std::vector<std::string> formatted;
        return formatted;
    }

    static void observe(const char* report) { reports().emplace_back(report); }

    const HIDErrorObserver previous;
};
