// The library's contract checks. A failed check names the condition and the
// function and stops the program in every build, because what follows a wrong
// reference type is undefined behaviour in the platform calls.
#pragma once

[[noreturn]] void hu_AssertionFailed(const char* condition, const char* function, const char* file, int line);

#define HIDAssert(condition) \
    ((condition) ? static_cast<void>(0) : hu_AssertionFailed(#condition, __func__, __FILE__, __LINE__))
