// The faces that fontconfig lists, read in place, from Debian's collections
// too, and without fontconfig's main file: drawn as JUCE would draw the same
// face, kerned as JUCE kerns a Latin face, from any thread, with nothing of
// them on the user's disk; broken files give no typeface rather than a crash.
#include "FontCollectionFace.h"
#include "FontCollections.h"
#include "FontScaledFace.h"

#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include <cstdlib>
#include <cmath>
#include <atomic>
#include <thread>
#include <vector>

namespace
{

const juce::File notoRegular("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
const juce::File droidFallback("/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf");
const juce::File liberationSans("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf");

// Latin, an ideograph and CJK punctuation, in cubic (Noto) and quadratic (Droid) outlines.
const juce::juce_wchar sampleCharacters[] = { 'A', 'g', 0x4e2d, 0x9f98, 0x3002, 0x300c };
// Pairs that Liberation Sans's kerning table moves closer.
const juce::String kernedPairs(juce::String::fromUTF8("AVATAR To Ly. \u0413\u0434"));

juce::Image drawGlyph(juce::Typeface& typeface, juce::juce_wchar character)
{
    juce::Image image(juce::Image::SingleChannel, 60, 60, true);
    juce::Path outline;
    typeface.getOutlineForGlyph((int) character, outline);
    juce::Graphics(image).fillPath(outline, juce::AffineTransform::scale(50.0f).translated(5.0f, 45.0f));
    return image;
}

// Face 0 of the file as JUCE itself loads a font from memory, and as ours: the
// same outline for every character, and the same advances, kerned or not.
void expectDrawnAsJuceDraws(const juce::File& file, FontCollectionFace::Spacing spacing)
{
    juce::MemoryBlock data;
    ASSERT_TRUE(file.loadFileAsData(data)) << file.getFullPathName();
    const auto juces = juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
    const auto ours = FontCollectionFace::open(file.getFullPathName().toRawUTF8(), 0, spacing);
    ASSERT_NE(nullptr, ours);

    EXPECT_EQ(juces->getName(), ours->getName());
    EXPECT_FLOAT_EQ(juces->getAscent(), ours->getAscent());
    EXPECT_FLOAT_EQ(juces->getDescent(), ours->getDescent());

    juce::String text;

    for (const auto character : sampleCharacters)
    {
        juce::Path jucesOutline, ourOutline;
        juces->getOutlineForGlyph((int) character, jucesOutline);
        ours->getOutlineForGlyph((int) character, ourOutline);
        EXPECT_TRUE(jucesOutline == ourOutline) << file.getFileName() << ", U+" << juce::String::toHexString((int) character);
        text += juce::String::charToString(character);
    }

    juce::Array<int> jucesGlyphs, ourGlyphs;
    juce::Array<float> jucesOffsets, ourOffsets;
    juces->getGlyphPositions(text + kernedPairs, jucesGlyphs, jucesOffsets);
    ours->getGlyphPositions(text + kernedPairs, ourGlyphs, ourOffsets);
    EXPECT_EQ(jucesGlyphs, ourGlyphs) << file.getFileName();
    EXPECT_EQ(jucesOffsets, ourOffsets) << file.getFileName();
    EXPECT_EQ(juces->getStringWidth(text + kernedPairs), ours->getStringWidth(text + kernedPairs)) << file.getFileName();
}

//==============================================================================
TEST(FontCollections, ChineseFacesComeFromTheCollectionsInTheirStyles)
{
    for (const auto* family : { "Noto Sans CJK SC", "Noto Sans CJK TC" })
    {
        EXPECT_TRUE(FontCollections::hasFamily(family));

        for (const auto* style : { "Regular", "Bold" })
        {
            const auto typeface = FontCollections::createTypeface(family, style, FontCollectionFace::Spacing::plain);
            ASSERT_NE(nullptr, typeface) << family << " " << style;
            EXPECT_EQ(juce::String(family), typeface->getName());
            EXPECT_EQ(juce::String(style), typeface->getStyle());
        }
    }

    EXPECT_FALSE(FontCollections::coversCjk("Liberation Sans"));
    EXPECT_EQ(nullptr, FontCollections::createTypeface("Klingon Sans", "Regular", FontCollectionFace::Spacing::plain));
}

// fontconfig is asked once per process: a process of its own, started anew,
// asks it without its main file, and finds the faces in the folders that
// fontconfig falls back on.
TEST(FontCollectionsDeathTest, WithoutFontconfigsMainFileFacesAreStillFound)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({
        setenv("FONTCONFIG_FILE", "/nonexistent/fonts.conf", 1);
        std::_Exit(FontCollections::hasFamily("Noto Sans CJK KR") ? 0 : 1);
    }, ::testing::ExitedWithCode(0), "");
}

TEST(FontCollections, FaceDrawsAsJucesOwnFreeTypeFace)
{
    expectDrawnAsJuceDraws(notoRegular, FontCollectionFace::Spacing::plain);
    expectDrawnAsJuceDraws(droidFallback, FontCollectionFace::Spacing::plain);
    expectDrawnAsJuceDraws(liberationSans, FontCollectionFace::Spacing::kerned);
}

// Glyphs load as they are first asked for, into the typeface's own cache.
TEST(FontCollections, FourThreadsGetTheSameGlyphsAsOne)
{
    constexpr juce::juce_wchar first = 0x4e00;
    constexpr int count = 1500;
    const auto reference = FontCollectionFace::open(notoRegular.getFullPathName().toRawUTF8(), 2);
    const auto shared = FontCollectionFace::open(notoRegular.getFullPathName().toRawUTF8(), 2);
    ASSERT_NE(nullptr, shared);
    std::atomic<bool> go { false };
    std::vector<juce::Array<juce::Path>> outlines(4);
    std::vector<std::thread> threads;

    for (auto& perThread : outlines)
        threads.emplace_back([&go, &shared, &perThread]
        {
            while (! go)
                std::this_thread::yield();

            for (int i = 0; i < count; ++i)
            {
                juce::Path outline;
                shared->getOutlineForGlyph((int) first + i, outline);
                perThread.add(outline);
            }
        });

    go = true;

    for (auto& thread : threads)
        thread.join();

    for (int i = 0; i < count; ++i)
    {
        juce::Path expected;
        reference->getOutlineForGlyph((int) first + i, expected);

        for (const auto& perThread : outlines)
            ASSERT_EQ(expected, perThread[i]) << "U+" << juce::String::toHexString((int) first + i);
    }
}

TEST(FontCollections, BrokenFilesGiveNoFaceOrEmptyGlyphs)
{
    const juce::TemporaryFile broken(".ttc");
    juce::MemoryBlock droid;
    ASSERT_TRUE(droidFallback.loadFileAsData(droid));

    // A collection header that announces a thousand faces and holds none.
    ASSERT_TRUE(broken.getFile().replaceWithData("ttcf\0\1\0\0\0\0\3\xe8", 12));
    EXPECT_EQ(nullptr, FontCollectionFace::open(broken.getFile().getFullPathName().toRawUTF8(), 0));
    EXPECT_EQ(nullptr, FontCollectionFace::open("/nonexistent/font.ttc", 0));
    EXPECT_EQ(nullptr, FontCollectionFace::open(droidFallback.getFullPathName().toRawUTF8(), 1));

    // A face that draws no ideograph and no Hangul has no em to scale to.
    EXPECT_EQ(nullptr, FontScaledFace::fillEm(juce::Font::getDefaultTypefaceForFont(juce::Font("Liberation Sans", 10.0f, 0))));

    // Cut short: whatever FreeType still opens draws without reading past the end.
    for (const size_t size : { (size_t) 100, (size_t) 4096, droid.getSize() / 2 })
    {
        ASSERT_TRUE(broken.getFile().replaceWithData(droid.getData(), size));

        if (const auto typeface = FontCollectionFace::open(broken.getFile().getFullPathName().toRawUTF8(), 0))
            for (const auto character : sampleCharacters)
                drawGlyph(*typeface, character);
    }
}

//==============================================================================
// Earlier versions kept copies of the collections in the user's cache folder:
// they go, and nothing else does.
class EarlierCopies : public ::testing::Test
{
protected:
    EarlierCopies()
        : previousCacheHome(juce::SystemStats::getEnvironmentVariable("XDG_CACHE_HOME", {}))
    {
        cacheHome.getFile().createDirectory();
        setenv("XDG_CACHE_HOME", cacheHome.getFile().getFullPathName().toRawUTF8(), 1);
    }

    ~EarlierCopies() override
    {
        setenv("XDG_CACHE_HOME", previousCacheHome.toRawUTF8(), 1);
        cacheHome.getFile().deleteRecursively();
    }

    juce::File place(const juce::String& name, const juce::File& folder) const
    {
        const auto file = folder.getChildFile(name);
        file.getParentDirectory().createDirectory();
        file.replaceWithText("font data");
        return file;
    }

    const juce::String previousCacheHome;
    const juce::TemporaryFile cacheHome;
    const juce::File programFolder = cacheHome.getFile().getChildFile("KVXUpdateProgram");
    const juce::File fontFolder = programFolder.getChildFile("fonts");
};

TEST_F(EarlierCopies, CopiesAndLeftoversGoWithTheirFolders)
{
    place("NotoSansCJK-Regular.otf", fontFolder);
    place("NotoSansCJK-Bold.otf", fontFolder);
    place("NotoSansCJK-Regular_temp1f2e3d4c.otf", fontFolder);
    place("NotoSansCJK-Bold_temp5.otf", fontFolder);

    FontCollections::removeEarlierCopies();

    EXPECT_FALSE(programFolder.exists());
    EXPECT_TRUE(cacheHome.getFile().isDirectory());
}

TEST_F(EarlierCopies, OtherFilesAndLinksStay)
{
    const juce::File kept[] = { place("NotoSansCJK-Regular.otf.bak", fontFolder), place("NotoSansCJK-Regular_temp.otf", fontFolder),
                                place("NotoSansCJK-Bold_tempxyz.otf", fontFolder), place("Other.otf", fontFolder),
                                place("NotoSansCJK-Regular.otf", programFolder) };
    const auto elsewhere = place("NotoSansCJK-Bold.otf", cacheHome.getFile().getChildFile("elsewhere"));
    ASSERT_TRUE(elsewhere.createSymbolicLink(fontFolder.getChildFile("NotoSansCJK-Bold.otf"), false));

    FontCollections::removeEarlierCopies();

    for (const auto& file : kept)
        EXPECT_TRUE(file.existsAsFile()) << file.getFullPathName();

    EXPECT_TRUE(fontFolder.getChildFile("NotoSansCJK-Bold.otf").isSymbolicLink());
    EXPECT_TRUE(elsewhere.existsAsFile());

    // A linked folder is not ours to clean.
    fontFolder.deleteRecursively();
    elsewhere.getParentDirectory().getChildFile("fonts").createDirectory();
    const auto linked = place("NotoSansCJK-Regular.otf", elsewhere.getParentDirectory().getChildFile("fonts"));
    ASSERT_TRUE(elsewhere.getParentDirectory().getChildFile("fonts").createSymbolicLink(fontFolder, false));

    FontCollections::removeEarlierCopies();

    EXPECT_TRUE(linked.existsAsFile());
}

} // namespace
