// Chinese, Japanese and Korean draw as large as the language table's typefaces
// would, through the families they prefer and through the last ones they fall
// back to: at the text height of 13, an ideograph is 13 pixels wide and nearly
// as tall, Hangul as large as the Latin text, every character leaves ink, and
// Korean lines keep a blank pixel row between them. Step 1 of the ready screen
// wraps in its three-line box rather than being squeezed onto one, between
// characters but not within Latin words. The ready and error screens are kept
// as pictures in the build folder, tests/cjk_screens/<screen>_<language>.png,
// and <screen>_<language>_fallback.png through the fallback families.
#include "ScreensTestSupport.h"

#include "App/Linux/Fonts/FontsTestSupport.h"
#include "FontChain.h"
#include "Loader.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace uitest
{
namespace
{

constexpr int korean = 10;
constexpr int japanese = 11;
constexpr float textHeight = 13.0f;
// The tallest ideographs reach from the em's bottom nearly to its top.
constexpr float minimumInkOfTallest = 0.8f * textHeight;
// The Latin text's em: Liberation Sans at the text height.
constexpr float latinEm = 11.6f;

enum class Faces { preferred, fallback };
void PrintTo(Faces faces, std::ostream* os) { *os << (faces == Faces::fallback ? "fallback" : "preferred"); }

// Hidden, these leave Chinese and Japanese to Droid Sans Fallback, and Korean,
// which Droid Sans Fallback has no Hangul for, to NanumBarunGothic.
const juce::StringArray preferredFamilies { "Noto Sans CJK SC", "Noto Sans CJK TC", "NanumGothic", "IPAPGothic",
                                            "IPAGothic" };

juce::String expectedFamily(int language, Faces faces)
{
    const char* const preferred[] = { "Noto Sans CJK SC", "Noto Sans CJK TC", "NanumGothic", "IPAPGothic" };
    const char* const fallback[] = { "Droid Sans Fallback", "Droid Sans Fallback", "NanumBarunGothic",
                                     "Droid Sans Fallback" };
    return (faces == Faces::preferred ? preferred : fallback)[language - 8];
}

bool isLatinLetter(juce::juce_wchar c)
{
    return c < 0x0250 && juce::CharacterFunctions::isLetterOrDigit(c);
}

// Ideographs and Hangul syllables are one em wide; Japanese kana are proportional.
bool isFullWidth(juce::juce_wchar c)
{
    return (c >= 0x4e00 && c <= 0x9fff) || (c >= 0xac00 && c <= 0xd7a3);
}

std::string nameOf(Screen screen, int language, Faces faces = Faces::preferred)
{
    return describe(screen) + ("_" + plangList[language].code.replaceCharacter('-', '_').toStdString())
         + (faces == Faces::fallback ? "_fallback" : "");
}

bool hasDarkPixels(const juce::Image& image, juce::Rectangle<int> area)
{
    area = area.getIntersection(image.getBounds());

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt(x, y).getBrightness() < 0.5f)
                return true;

    return false;
}

// The glyph drawn alone, as the renderer draws text: ink or none.
bool leavesInk(const juce::Font& font, int glyphNumber)
{
    juce::Image image(juce::Image::ARGB, 48, 48, true);

    {
        juce::LowLevelGraphicsSoftwareRenderer renderer(image);
        renderer.setFont(font);
        renderer.setFill(juce::Colours::black);
        renderer.drawGlyph(glyphNumber, juce::AffineTransform::translation(12.0f, 32.0f));
    }

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt(x, y).getAlpha() > 0)
                return true;

    return false;
}

// Each line of the texts, as the span of its glyphs, must have a row without a
// dark pixel between its baseline and that of the next line below it.
::testing::AssertionResult linesKeepApart(const juce::Image& image, const juce::GlyphArrangement& glyphs)
{
    std::map<float, juce::Range<float>> lines;

    for (const auto& glyph : glyphs)
    {
        if (glyph.isWhitespace())
            continue;

        auto& line = lines[glyph.getBaselineY()];
        const juce::Range<float> span(glyph.getLeft(), glyph.getRight());
        line = line.isEmpty() ? span : line.getUnionWith(span);
    }

    for (auto upper = lines.begin(); upper != lines.end(); ++upper)
    {
        auto lower = std::next(upper);

        while (lower != lines.end() && ! lower->second.intersects(upper->second))
            ++lower;

        if (lower == lines.end())
            continue;

        const auto span = upper->second.getUnionWith(lower->second);
        bool blankRow = false;

        for (int y = (int) std::ceil(upper->first); y < (int) std::floor(lower->first) && ! blankRow; ++y)
            blankRow = ! hasDarkPixels(image, { (int) span.getStart(), y, (int) std::ceil(span.getLength()), 1 });

        if (! blankRow)
            return ::testing::AssertionFailure() << "the lines at baselines " << upper->first << " and "
                                                 << lower->first << " touch";
    }

    return ::testing::AssertionSuccess();
}

// JUCE keeps the texts that Graphics laid out last by font and text, not by
// typeface: after the fonts change, a screen would still draw those.
void forgetLaidOutTexts()
{
    juce::Image image(juce::Image::ARGB, 1, 1, true);
    juce::Graphics g(image);

    for (int i = 0; i <= 128; ++i)
    {
        const juce::String text(i);
        g.drawSingleLineText(text, 0, 0);
        g.drawMultiLineText(text, 0, 0, 1);
        g.drawText(text, 0, 0, 1, 1, juce::Justification::left);
        g.drawFittedText(text, 0, 0, 1, 1, juce::Justification::left, 1);
    }
}

void useFamilies(const juce::StringArray& hidden)
{
    Fonts::hideFamilies(hidden);
    juce::Typeface::clearTypefaceCache();
    forgetLaidOutTexts();
}

class CjkScreen : public ScreenTest, public ::testing::WithParamInterface<std::tuple<Screen, int, Faces>>
{
protected:
    void SetUp() override
    {
        if (faces() == Faces::fallback)
            useFamilies(preferredFamilies);

        show(screen(), language());
    }

    void TearDown() override
    {
        if (faces() == Faces::fallback)
            useFamilies({});

        ScreenTest::TearDown();
    }

    Screen screen() const { return std::get<0>(GetParam()); }
    int language() const { return std::get<1>(GetParam()); }
    Faces faces() const { return std::get<2>(GetParam()); }

    juce::String familyDrawing(juce::juce_wchar character) const
    {
        const juce::Font font(TxtLoader::getInstance()->getFont(), textHeight, juce::Font::plain);
        auto* chain = dynamic_cast<FontChain*>(font.getTypefacePtr().get());
        return chain != nullptr ? chain->getFamilyFor(character) : juce::String("no chain");
    }

    void writePicture(const juce::Image& snapshot) const
    {
        const auto picture = juce::File::getSpecialLocation(juce::File::currentExecutableFile)
                                 .getSiblingFile("cjk_screens")
                                 .getChildFile(nameOf(screen(), language(), faces()) + ".png");
        picture.getParentDirectory().createDirectory();
        picture.deleteFile();
        juce::FileOutputStream stream(picture);
        juce::PNGImageFormat().writeImageToStream(snapshot, stream);
    }
};

TEST_P(CjkScreen, CharactersFillTheirEmUnsqueezedAndLeaveInk)
{
    ASSERT_EQ(expectedFamily(language(), faces()), familyDrawing(language() == korean ? 0xd55c : 0x4e2d));

    const auto painted = ui_test::render(screenWidth, screenHeight, [this](juce::Graphics& g) { component->paint(g); });
    const auto& drawn = painted->renderer.glyphs;
    const auto& glyphs = component->getGlyphs();
    // Japanese puts each half of step 1 into a box of one line.
    const bool stepOneHasRoom = screen() == Screen::ready && language() != japanese;
    const float em = language() == korean ? 0.9f * textHeight : textHeight;
    size_t next = 0;
    float tallestInk = 0.0f;
    const juce::PositionedGlyph* previous = nullptr;

    for (const auto& glyph : glyphs)
    {
        if (glyph.isWhitespace())
            continue;

        ASSERT_LT(next, drawn.size()) << "fewer glyphs drawn than laid out";
        const auto horizontalScale = drawn[next++].font.getHorizontalScale();
        const auto character = juce::String::toHexString((int) glyph.getCharacter());

        if (previous != nullptr && isLatinLetter(previous->getCharacter()) && isLatinLetter(glyph.getCharacter()))
        {
            EXPECT_EQ(previous->getBaselineY(), glyph.getBaselineY()) << "a word broken before U+" << character;
        }

        previous = &glyph;

        if (stepOneHasRoom)
        {
            EXPECT_FLOAT_EQ(1.0f, horizontalScale) << "U+" << character << " squeezed";
        }

        if (isFullWidth(glyph.getCharacter()))
        {
            EXPECT_NEAR(em, glyph.getBounds().getWidth() / horizontalScale, 0.05f * textHeight) << "em of U+" << character;
            EXPECT_GE(glyph.getBounds().getWidth() / horizontalScale, latinEm) << "em of U+" << character;
        }

        if (glyph.getCharacter() >= 0x3040) // kana, ideographs, Hangul
        {
            juce::Path ink;
            glyph.createPath(ink);
            tallestInk = juce::jmax(tallestInk, ink.getBounds().getHeight());
        }
    }

    EXPECT_GE(tallestInk, minimumInkOfTallest);

    // Every glyph of the screen, its buttons' and menu's too.
    const auto snapshot = component->createComponentSnapshot(component->getLocalBounds());
    juce::Image image(juce::Image::ARGB, screenWidth, screenHeight, true);
    fonts_test::GlyphRecorder recorder(image);

    {
        juce::Graphics g(recorder);
        component->paintEntireComponent(g, false);
    }

    for (const auto& glyph : recorder.glyphs)
    {
        EXPECT_TRUE(leavesInk(glyph.font, glyph.number))
            << "glyph " << glyph.number << " of " << glyph.font.getTypefaceName() << " " << glyph.font.getHeight();
    }

    if (language() == korean)
    {
        EXPECT_TRUE(linesKeepApart(snapshot, glyphs));
    }

    if (screen() == Screen::ready || screen() == Screen::error)
        writePicture(snapshot);
}

// Whatever the width, a line never starts with a full stop or a comma.
TEST_F(ScreenTest, CjkPunctuationStaysOnTheLineItEnds)
{
    const auto punctuation = juce::String::fromUTF8("\xe3\x80\x82\xef\xbc\x8c");

    for (const int language : { 8, 9 })
    {
        show(Screen::error, language);

        for (int width = 300; width <= screenWidth; ++width)
        {
            component->setSize(width, screenHeight);
            const auto* glyphs = component->getGlyphs().begin();

            for (int i = 1; i < component->getGlyphs().getNumGlyphs(); ++i)
            {
                if (punctuation.containsChar(glyphs[i].getCharacter()))
                {
                    EXPECT_EQ(glyphs[i - 1].getBaselineY(), glyphs[i].getBaselineY())
                        << nameOf(Screen::error, language) << " at width " << width;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, CjkScreen,
                         ::testing::Combine(::testing::Values(Screen::language, Screen::faultyFile, Screen::notFound,
                                                              Screen::ready, Screen::updating, Screen::complete,
                                                              Screen::error),
                                            ::testing::Range(8, 12),
                                            ::testing::Values(Faces::preferred, Faces::fallback)),
                         [](const ::testing::TestParamInfo<std::tuple<Screen, int, Faces>>& info)
                         {
                             return nameOf(std::get<0>(info.param), std::get<1>(info.param), std::get<2>(info.param));
                         });

} // namespace
} // namespace uitest
