// What the screen tests share: a component showing one screen in one language at
// the window's size, in the fonts the application uses on Linux, and a way to
// find where each of its texts was laid out.
#pragma once

#include "ComponentTest.h"

#include "FontLookAndFeel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

namespace uitest
{

// The component's size inside the window.
constexpr int screenWidth = 406;
constexpr int screenHeight = 156;

enum class Screen { language, faultyFile, notFound, ready, updating, complete, error };

const char* describe(Screen screen);
inline void PrintTo(Screen screen, std::ostream* os) { *os << describe(screen); }

// String n of the current language.
const juce::String& text(int index);

// Line breaks drop the blanks where they fall.
juce::String withoutBlanks(const juce::String& s);

// A printf-style template in UTF-8, filled in as the C library does.
template <typename... Args>
juce::String printed(const juce::String& format, Args... args)
{
    char buffer[1024];
    std::snprintf(buffer, sizeof(buffer), format.toRawUTF8(), args...);
    return juce::String::fromUTF8(buffer);
}

class ScreenTest : public ComponentTest
{
protected:
    ScreenTest();
    void TearDown() override;

    // The component at the window's size, showing the screen in the language.
    // The ready screen has the controller at version 1.23.
    void show(Screen screen, int language);
    void chooseLanguage(int language);

    // The screen's text, one character per glyph: an index into it is a glyph index.
    juce::String glyphText() const;
    juce::Rectangle<float> glyphBounds(int index) const;

    // The block that begins with text starts at (x, y). The search starts at
    // glyph from, and from moves on into the block, so that blocks are found in
    // the order they were laid out.
    ::testing::AssertionResult blockStartsAt(const juce::String& text, float x, float y, int& from) const;

    // The number of lines that glyphs first to first + count - 1 take.
    int countLines(int first, int count) const;

private:
    const juce::String previousFallback;
    std::unique_ptr<FontLookAndFeel> look;
};

} // namespace uitest
