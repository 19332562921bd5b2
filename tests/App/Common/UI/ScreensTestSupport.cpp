#include "ScreensTestSupport.h"

#include "Loader.h"

#include <cmath>
#include <set>

namespace uitest
{

const char* describe(Screen screen)
{
    switch (screen)
    {
        case Screen::language:   return "language";
        case Screen::faultyFile: return "faultyFile";
        case Screen::notFound:   return "notFound";
        case Screen::ready:      return "ready";
        case Screen::updating:   return "updating";
        case Screen::complete:   return "complete";
        case Screen::error:      return "error";
    }

    return "?";
}

const juce::String& text(int index)
{
    return TxtLoader::getInstance()->getString((juce::uint32) index);
}

juce::String withoutBlanks(const juce::String& s)
{
    return s.removeCharacters(" \n");
}

//==============================================================================
ScreenTest::ScreenTest()
    : previousFallback(juce::Font::getFallbackFontName()),
      look(FontLookAndFeel::installAsDefault())
{
}

void ScreenTest::TearDown()
{
    ComponentTest::TearDown();
    look.reset();
    juce::Font::setFallbackFontName(previousFallback);
}

void ScreenTest::show(Screen screen, int language)
{
    if (screen != Screen::faultyFile && file == nullptr)
        placeUpdateFile();

    if (screen == Screen::ready)
        transport.plugIn();

    createComponent();
    chooseLanguage(language);

    switch (screen)
    {
        case Screen::language:   break;
        case Screen::faultyFile: // OK leads to the faulty-file text whatever follows
        case Screen::notFound:
        case Screen::ready:      pressOk(); break;
        case Screen::updating:   component->updateSequence(SeqUpdating); break;
        case Screen::complete:   component->updateSequence(SeqComplete); break;
        case Screen::error:      component->updateSequence(SeqError); break;
    }

    component->setSize(screenWidth, screenHeight);
}

void ScreenTest::chooseLanguage(int language)
{
    auto* menu = component->getLanguageMenu();
    menu->setSelectedId(language + 1, juce::dontSendNotification);
    component->comboBoxChanged(menu);
}

//==============================================================================
juce::String ScreenTest::glyphText() const
{
    juce::String characters;
    const auto& glyphs = component->getGlyphs();

    for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
        characters += juce::String::charToString(glyphs.begin()[i].getCharacter());

    return characters;
}

juce::Rectangle<float> ScreenTest::glyphBounds(int index) const
{
    return component->getGlyphs().begin()[index].getBounds();
}

::testing::AssertionResult ScreenTest::blockStartsAt(const juce::String& blockText, float x, float y, int& from) const
{
    const auto beginning = blockText.trimStart().substring(0, 4);
    const auto characters = glyphText();
    const int index = characters.indexOf(from, beginning);

    if (beginning.isEmpty() || index < 0)
        return ::testing::AssertionFailure() << "\"" << beginning << "\" not laid out after glyph " << from
                                             << " of \"" << characters << "\"";

    // Past the block's every glyph but blanks, which line breaks may have dropped.
    from = index + withoutBlanks(blockText).length();
    const auto start = glyphBounds(index).getTopLeft();

    if (std::abs(start.x - x) > 0.01f || std::abs(start.y - y) > 0.01f)
        return ::testing::AssertionFailure() << "\"" << beginning << "\" starts at (" << start.toString()
                                             << "), expected (" << x << ", " << y << ")";

    return ::testing::AssertionSuccess();
}

int ScreenTest::countLines(int first, int count) const
{
    std::set<long> tops;

    for (int i = first; i < first + count; ++i)
        tops.insert(std::lround(glyphBounds(i).getY()));

    return (int) tops.size();
}

} // namespace uitest
