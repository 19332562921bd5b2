// The command line as valid UTF-8: every byte that begins no valid sequence
// becomes U+FFFD, and valid text is kept byte for byte.
#include "Utf8Arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
const std::string replaced = "\xef\xbf\xbd";

std::string replacedTimes (int count)
{
    std::string text;

    for (int i = 0; i < count; ++i)
        text += replaced;

    return text;
}

TEST (Utf8Arguments, ReplacesEachByteThatBeginsNoValidSequenceAndKeepsValidText)
{
    const std::vector<std::pair<std::string, std::string>> argumentsAndRepairs {
        // Valid text of every length, at the edges of each length's range.
        { "a\x7f", "a\x7f" },
        { "\xc2\x80\xdf\xbf", "\xc2\x80\xdf\xbf" },
        { "\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf", "\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf" },
        { "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf" },
        // Overlong forms.
        { "\xc0\x80", replacedTimes (2) },
        { "\xc1\xbf", replacedTimes (2) },
        { "\xe0\x9f\xbf", replacedTimes (3) },
        { "\xf0\x8f\xbf\xbf", replacedTimes (4) },
        // UTF-16 surrogates.
        { "\xed\xa0\x80", replacedTimes (3) },
        { "\xed\xbf\xbf", replacedTimes (3) },
        // Past U+10FFFF, and lead bytes of no UTF-8 form.
        { "\xf4\x90\x80\x80", replacedTimes (4) },
        { "\xf8\x88\x80\x80\x80", replacedTimes (5) },
        { "\xfe\xff", replacedTimes (2) },
        // A sequence cut by the end of the argument, or by another character.
        { "caf\xc3", "caf" + replaced },
        { "\xf0\x9f\x98", replacedTimes (3) },
        { "\xe2\x82" "a", replacedTimes (2) + "a" },
        // A lone continuation byte.
        { "\x80" "A", replaced + "A" },
    };

    std::vector<const char*> argv { "KVXUpdateProgram" };

    for (const auto& [argument, repair] : argumentsAndRepairs)
        argv.push_back (argument.c_str());

    Utf8Arguments arguments ((int) argv.size(), argv.data());
    const char** values = arguments.getValues();

    ASSERT_EQ ((int) argv.size(), arguments.getCount());
    EXPECT_EQ (nullptr, values[argv.size()]);

    for (size_t i = 0; i < argumentsAndRepairs.size(); ++i)
        EXPECT_EQ (argumentsAndRepairs[i].second, std::string (values[i + 1]))
            << "argument " << testing::PrintToString (argumentsAndRepairs[i].first);
}
}
