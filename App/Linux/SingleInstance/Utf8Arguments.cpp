#include "Utf8Arguments.h"

#include "Utf8Text.h"

//==============================================================================
Utf8Arguments::Utf8Arguments (int argc, const char* const* argv)
{
    for (int i = 0; i < argc; ++i)
        arguments.push_back (Utf8Text::repair (argv[i]));

    for (const auto& argument : arguments)
        values.push_back (argument.c_str());

    values.push_back (nullptr);
}

int Utf8Arguments::getCount() const noexcept
{
    return (int) arguments.size();
}

const char** Utf8Arguments::getValues() noexcept
{
    return values.data();
}

juce::String Utf8Arguments::join() const
{
    juce::StringArray joined;

    for (size_t i = 1; i < arguments.size(); ++i)
        joined.add (juce::String::fromUTF8 (arguments[i].c_str()));

    return joined.joinIntoString (" ");
}
