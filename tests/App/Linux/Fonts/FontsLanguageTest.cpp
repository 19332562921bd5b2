#include "FontsTestSupport.h"

#include "CustomLookAndFeel.h"
#include "Loader.h"

using namespace fonts_test;

namespace
{
    // Texts that the screens put into the strings: the model, the buttons and versions.
    const juce::String insertedTexts { "KVX-TN SHIFT SYNC Ver. 0123456789.%" };
    // JUCE keeps glyph arrangements, typefaces included, by font, text and box
    // across tests: a width of its own keeps out those laid out without the look.
    constexpr int menuItemWidth = 231;
    constexpr int menuItemHeight = 20;

    /** One language in force as the screens set it: its strings loaded and its
        typeface as JUCE's fallback.
    */
    class LanguageTest  : public FontLookTest,
                          public ::testing::WithParamInterface<juce::uint32>
    {
    protected:
        LanguageTest()
            : texts (TxtLoader::getInstance())
        {
            useLanguage (GetParam());
        }

        ~LanguageTest() override
        {
            TxtLoader::releaseInstance();
        }

        void useLanguage (juce::uint32 index)
        {
            texts->setLocale (index);
            juce::Font::setFallbackFontName (texts->getFont());
        }

        TxtLoader* texts;
        const MissingGlyphDetector detector;
    };

    std::string languageName (const ::testing::TestParamInfo<juce::uint32>& info)
    {
        return plangList[info.param].code.replaceCharacter ('-', '_').toStdString();
    }

    /** Draws the language menu's twelve items, one under the other. */
    void drawLanguageMenu (juce::Graphics& g, LangLookAndFeel& menuLook, TxtLoader& texts)
    {
        for (juce::uint32 i = 0; i < numLanguages; ++i)
        {
            const juce::Rectangle<int> area (0, (int) i * menuItemHeight, menuItemWidth, menuItemHeight);
            menuLook.drawPopupMenuItem (g, area, false, true, false, i == texts.getLocale(), false,
                                        texts.getLang (i), {}, nullptr, nullptr);
        }
    }

    int countNonBlanks (const juce::String& text)
    {
        return text.removeCharacters (" \t\r\n").length();
    }

    bool hasDarkPixels (const juce::Image& image, juce::Rectangle<int> area)
    {
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (image.getPixelAt (x, y).getBrightness() < 0.5f)
                    return true;

        return false;
    }
}

//==============================================================================
// Every string of a language, and its name, shows in the typeface that its
// screens use, plain and bold: no character falls into a missing-glyph box.

TEST_P (LanguageTest, EveryStringShowsInItsTypeface)
{
    for (const auto style : { juce::Font::plain, juce::Font::bold })
    {
        const auto typeface = juce::Font (texts->getFont(), 13.0f, style).getTypefacePtr();

        for (juce::uint32 n = 0; n < (juce::uint32) TxtLoader::numStrings; ++n)
            EXPECT_EQ (detector.findBoxes (*typeface, texts->getString (n)), "")
                << "string " << n << " \"" << texts->getString (n) << "\", style " << style;

        EXPECT_EQ (detector.findBoxes (*typeface, texts->getLang (GetParam())), "") << "style " << style;
        EXPECT_EQ (detector.findBoxes (*typeface, insertedTexts), "") << "style " << style;
    }
}

//==============================================================================
// The language menu, with this language's screens around it, draws every name
// in its own script.

TEST_P (LanguageTest, LanguageMenuDrawsEveryName)
{
    juce::Image image (juce::Image::ARGB, menuItemWidth, menuItemHeight * (int) numLanguages, true);
    GlyphRecorder recorder (image);
    LangLookAndFeel menuLook;
    int expectedGlyphs = 0;

    {
        juce::Graphics g (recorder);
        drawLanguageMenu (g, menuLook, *texts);
    }

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        expectedGlyphs += countNonBlanks (texts->getLang (i));

    EXPECT_EQ ((int) recorder.glyphs.size(), expectedGlyphs);

    for (const auto& glyph : recorder.glyphs)
        EXPECT_FALSE (detector.isBox (*glyph.font.getTypefacePtr(), glyph.number))
            << "glyph " << glyph.number << " of " << glyph.font.getTypefaceName();
}

INSTANTIATE_TEST_SUITE_P (Fonts, LanguageTest, ::testing::Range (0u, numLanguages), languageName);

//==============================================================================
// For a human to look at: each language's name as the menu draws it, its
// heading in bold and a line of its text, in build/.../fonts/languages.png.
// Read back, the file shows text in each of the three columns of every row.

TEST_F (FontLookTest, LanguagesPictureIsWritten)
{
    constexpr int rowHeight = 24;
    constexpr int width = 1000;
    const juce::Range<int> columns[] = { { 0, 160 }, { 170, 340 }, { 340, width } };
    auto* texts = TxtLoader::getInstance();
    LangLookAndFeel menuLook;
    juce::Image image (juce::Image::RGB, width, rowHeight * (int) numLanguages, true);

    {
        juce::Graphics g (image);
        g.fillAll (juce::Colour (0xffeaeaea));

        for (juce::uint32 i = 0; i < numLanguages; ++i)
        {
            texts->setLocale (i);
            juce::Font::setFallbackFontName (texts->getFont());
            const auto y = (int) i * rowHeight;
            menuLook.drawPopupMenuItem (g, { 0, y + 2, 160, menuItemHeight }, false, true, false, false, false,
                                        texts->getLang (i), {}, nullptr, nullptr);
            g.setColour (juce::Colours::black);
            g.setFont (juce::Font (texts->getFont(), 13.0f, juce::Font::bold));
            g.drawSingleLineText (texts->getString (8), 170, y + 17);
            g.setFont (juce::Font (texts->getFont(), 13.0f, juce::Font::plain));
            g.drawSingleLineText (texts->getString (16) + "  " + texts->getString (13).replace ("%d.%02d", "1.23"),
                                  340, y + 17);
        }
    }

    TxtLoader::releaseInstance();
    const auto file = juce::File::getSpecialLocation (juce::File::currentExecutableFile)
                          .getSiblingFile ("fonts").getChildFile ("languages.png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();

    {
        juce::FileOutputStream stream (file);
        ASSERT_TRUE (stream.openedOk()) << file.getFullPathName();
        juce::PNGImageFormat().writeImageToStream (image, stream);
    }

    const auto written = juce::ImageFileFormat::loadFrom (file);
    ASSERT_EQ (written.getBounds(), image.getBounds()) << file.getFullPathName();

    for (juce::uint32 i = 0; i < numLanguages; ++i)
        for (const auto& column : columns)
            EXPECT_TRUE (hasDarkPixels (written, { column.getStart(), (int) i * rowHeight, column.getLength(), rowHeight }))
                << plangList[i].code << ", from x " << column.getStart();
}
