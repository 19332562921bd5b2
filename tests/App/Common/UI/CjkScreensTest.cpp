// Chinese, Japanese and Korean draw as large as the Latin text and no larger,
// through the families they prefer, through Noto Sans CJK when Korean or
// Japanese lacks its own, through the last ones they fall back to, and from
// damaged Noto Sans CJK collections: at the text height of 13, an ideograph or
// a Hangul syllable is nine tenths of 13 pixels wide, every character leaves
// ink and none is a missing-glyph box, and lines keep a blank pixel row between
// them. A damaged collection gives way to the next face character by character.
// Step 1 of the ready screen wraps in its three-line box rather than being
// squeezed onto one, between characters but not within Latin words. Without
// any CJK face, the Latin text still shows. The ready and error screens are
// kept as pictures in the build folder,
// tests/cjk_screens/<screen>_<language>[_<faces>].png.
#include "ScreensTestSupport.h"

#include "App/Linux/Fonts/FontsTestSupport.h"
#include "FontChain.h"
#include "FontCollections.h"
#include "Loader.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>

namespace uitest
{
namespace
{

constexpr int korean = 10;
constexpr int japanese = 11;
constexpr float textHeight = 13.0f;
// Nine tenths of the height, no smaller than the Latin text's em (Liberation
// Sans at the text height).
constexpr float em = 0.9f * textHeight;
constexpr float latinEm = 11.6f;
constexpr float notoHangulShare = 0.92f;
// The tallest ideographs reach from the em's bottom nearly to its top.
constexpr float minimumInkOfTallest = 0.8f * em;

enum class Faces { preferred, noto, fallback, zeroed, cutShort };
void PrintTo(Faces faces, std::ostream* os)
{
    const char* const names[] = { "preferred", "noto", "fallback", "zeroed", "cut_short" };
    *os << names[(int) faces];
}

const juce::File notoCollections[] = { juce::File("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"),
                                       juce::File("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc") };
const char* const droidSansFallback = "Droid Sans Fallback";
// The language table's typefaces of Chinese (simplified, traditional), Korean and Japanese.
const char* const cjkTypefaces[] = { "Heiti SC", "Heiti TC", "AppleGothic Regular", "Hiragino Maru Gothic Pro W4" };

bool isDamaged(Faces faces)
{
    return faces == Faces::zeroed || faces == Faces::cutShort;
}

// The families that draw the language's characters. Korean falls back to
// NanumBarunGothic, since Droid Sans Fallback has no Hangul. A zeroed range of
// a collection takes some of its glyphs, which Droid Sans Fallback draws in
// their place; a collection cut short leaves a face without an em, not used.
std::set<juce::String> expectedFamilies(int language, Faces faces)
{
    const char* const preferred[] = { "Noto Sans CJK SC", "Noto Sans CJK TC", "NanumGothic", "IPAPGothic" };
    const char* const noto[] = { "Noto Sans CJK SC", "Noto Sans CJK TC", "Noto Sans CJK KR", "Noto Sans CJK JP" };
    const char* const fallback[] = { droidSansFallback, droidSansFallback, "NanumBarunGothic", droidSansFallback };
    const auto index = (size_t) language - 8;

    switch (faces)
    {
        case Faces::noto:     return { noto[index] };
        case Faces::fallback: return { fallback[index] };
        case Faces::zeroed:   return { preferred[index], droidSansFallback };
        case Faces::cutShort: return { droidSansFallback };
        case Faces::preferred: break;
    }

    return { preferred[index] };
}

// Noto Sans CJK comes right after the faces that Korean and Japanese prefer:
// with those hidden, it draws, whatever else the machine has. The other cases
// hide every CJK family that the language's typeface could take but those they
// expect and the damaged one, so that they draw from those they name.
juce::StringArray familiesToHide(int language, Faces faces)
{
    if (faces == Faces::noto)
        return language == korean ? juce::StringArray { "NanumGothic", "NanumBarunGothic" }
                                  : juce::StringArray { "IPAPGothic", "IPAGothic" };

    auto hidden = Fonts::getCandidateFamilies(cjkTypefaces[language - 8]);

    for (const auto& family : expectedFamilies(language, isDamaged(faces) ? Faces::zeroed : faces))
        hidden.removeString(family);

    return hidden;
}

// A copy of the collection as a disk error or a cut-off download leaves it:
// four MiB of zeros from the first MiB on, or the first half alone.
juce::File damaged(const juce::File& collection, Faces faces, const juce::File& folder)
{
    juce::MemoryBlock data;
    EXPECT_TRUE(collection.loadFileAsData(data)) << collection.getFullPathName();

    if (faces == Faces::zeroed)
        std::fill(data.begin() + (1 << 20), data.begin() + (5 << 20), 0);
    else
        data.setSize(data.getSize() / 2);

    const auto copy = folder.getChildFile(collection.getFileName());
    EXPECT_TRUE(copy.replaceWithData(data.getData(), data.getSize()));
    return copy;
}

bool isLatinLetter(juce::juce_wchar c)
{
    return c < 0x0250 && juce::CharacterFunctions::isLetterOrDigit(c);
}

// Kana, ideographs and Hangul.
bool isCjk(juce::juce_wchar c)
{
    return c >= 0x3040;
}

bool isHangul(juce::juce_wchar c)
{
    return c >= 0xac00 && c <= 0xd7a3;
}

// Ideographs and Hangul syllables are one em wide, Hangul in Noto Sans CJK a
// little less; Japanese kana are proportional.
bool isFullWidth(juce::juce_wchar c)
{
    return (c >= 0x4e00 && c <= 0x9fff) || isHangul(c);
}

std::string nameOf(Screen screen, int language, Faces faces = Faces::preferred)
{
    std::ostringstream suffix;

    if (faces != Faces::preferred)
        PrintTo(faces, &(suffix << "_"));

    return describe(screen) + ("_" + plangList[language].code.replaceCharacter('-', '_').toStdString()) + suffix.str();
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
    // The missing glyphs of every family, none hidden yet, are known once.
    static void SetUpTestSuite()
    {
        damagedCopies = juce::File::getSpecialLocation(juce::File::tempDirectory)
                            .getNonexistentChildFile("kvx_damaged_fonts", {}, false);
        damagedCopies.createDirectory();
        boxes = std::make_unique<fonts_test::MissingGlyphDetector>();
    }

    static void TearDownTestSuite()
    {
        useFaces({}, Faces::preferred);
        boxes.reset();
        damagedCopies.deleteRecursively();
    }

    void SetUp() override
    {
        useFaces(familiesToHide(language(), faces()), isDamaged(faces()) ? faces() : Faces::preferred);
        show(screen(), language());
    }

    // The texts that JUCE laid out go stale only when the hidden families or
    // the collections change, not from one case to the next.
    static void useFaces(const juce::StringArray& hidden, Faces damage)
    {
        if (hidden == hiddenFamilies && damage == damagedFaces)
            return;

        for (const auto& collection : notoCollections)
            FontCollections::readFacesFrom(collection, isDamaged(damage) ? getDamagedCopy(collection, damage) : collection);

        useFamilies(hidden);
        hiddenFamilies = hidden;
        damagedFaces = damage;
    }

    static juce::File getDamagedCopy(const juce::File& collection, Faces damage)
    {
        const auto folder = damagedCopies.getChildFile(damage == Faces::zeroed ? "zeroed" : "cut_short");
        const auto copy = folder.getChildFile(collection.getFileName());
        folder.createDirectory();
        return copy.existsAsFile() ? copy : damaged(collection, damage, folder);
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

    static inline juce::File damagedCopies;
    static inline std::unique_ptr<fonts_test::MissingGlyphDetector> boxes;
    static inline juce::StringArray hiddenFamilies;
    static inline Faces damagedFaces = Faces::preferred;

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
    std::set<juce::String> families;

    for (const auto& glyph : component->getGlyphs())
        if (isCjk(glyph.getCharacter()))
            families.insert(familyDrawing(glyph.getCharacter()));

    EXPECT_EQ(expectedFamilies(language(), faces()), families);

    const auto painted = ui_test::render(screenWidth, screenHeight, [this](juce::Graphics& g) { component->paint(g); });
    const auto& drawn = painted->renderer.glyphs;
    const auto& glyphs = component->getGlyphs();
    // Japanese puts each half of step 1 into a box of one line.
    const bool stepOneHasRoom = screen() == Screen::ready && language() != japanese;
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
            const auto width = glyph.getBounds().getWidth() / horizontalScale;
            const auto share = faces() == Faces::noto && isHangul(glyph.getCharacter()) ? notoHangulShare : 1.0f;
            EXPECT_NEAR(em, width / share, 0.05f * textHeight) << "em of U+" << character;
            EXPECT_GE(width / share, latinEm) << "em of U+" << character;
        }

        if (isCjk(glyph.getCharacter()))
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
        EXPECT_FALSE(boxes->isBox(*glyph.font.getTypefacePtr(), glyph.number))
            << "glyph " << glyph.number << " of " << glyph.font.getTypefaceName() << " is a box";
    }

    EXPECT_TRUE(linesKeepApart(snapshot, glyphs));

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

// On a machine without CJK faces, the screens still show their Latin text,
// and CJK characters as boxes rather than as nothing.
TEST_F(ScreenTest, WithoutCjkFacesLatinTextStillShows)
{
    juce::StringArray cjkFamilies;

    for (const auto* typeface : cjkTypefaces)
        cjkFamilies.mergeArray(Fonts::getCandidateFamilies(typeface));

    useFamilies(cjkFamilies);
    const juce::ScopeGuard everyFamilyBack { [] { useFamilies({}); } };
    show(Screen::ready, korean);
    const fonts_test::MissingGlyphDetector boxes;
    juce::Image image(juce::Image::ARGB, screenWidth, screenHeight, true);
    fonts_test::GlyphRecorder recorder(image);
    juce::Graphics g(recorder);

    ASSERT_TRUE(glyphText().contains("KVX-TN")) << glyphText();

    for (const auto& glyph : component->getGlyphs())
    {
        if (glyph.isWhitespace())
            continue;

        glyph.draw(g);
        const auto& drawn = recorder.glyphs.back();
        const auto character = juce::String::toHexString((int) glyph.getCharacter());
        EXPECT_TRUE(leavesInk(drawn.font, drawn.number)) << "U+" << character;

        if (isLatinLetter(glyph.getCharacter()))
        {
            EXPECT_FALSE(boxes.isBox(*drawn.font.getTypefacePtr(), drawn.number)) << "U+" << character;
        }
    }
}

const auto everyScreen = ::testing::Values(Screen::language, Screen::faultyFile, Screen::notFound, Screen::ready,
                                           Screen::updating, Screen::complete, Screen::error);

std::string caseName(const ::testing::TestParamInfo<std::tuple<Screen, int, Faces>>& info)
{
    return nameOf(std::get<0>(info.param), std::get<1>(info.param), std::get<2>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Screens, CjkScreen,
                         ::testing::Combine(everyScreen, ::testing::Range(8, 12),
                                            ::testing::Values(Faces::preferred, Faces::fallback)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(NotoScreens, CjkScreen,
                         ::testing::Combine(everyScreen, ::testing::Values(korean, japanese),
                                            ::testing::Values(Faces::noto)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(DamagedScreens, CjkScreen,
                         ::testing::Combine(everyScreen, ::testing::Values(8, 9),
                                            ::testing::Values(Faces::zeroed, Faces::cutShort)),
                         caseName);

} // namespace
} // namespace uitest
