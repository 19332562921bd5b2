// JUCE sees the Chinese faces of Noto Sans CJK, and only those of its twenty
// that the text tables need; a collection that is missing or broken leaves the
// fonts JUCE sees as they were.
#include "FontCollections.h"

#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

namespace
{

juce::String getFontPath()
{
    return juce::SystemStats::getEnvironmentVariable("JUCE_FONT_PATH", {});
}

// The test environment exposed the collections in this folder before JUCE's scan.
TEST(FontCollections, JuceSeesTheChineseFacesAlone)
{
    const auto folder = juce::File::getSpecialLocation(juce::File::currentExecutableFile)
                            .getSiblingFile("font_collections");

    juce::StringArray cjkFamilies;

    for (const auto& family : juce::Font::findAllTypefaceNames())
        if (family.contains("CJK"))
            cjkFamilies.add(family);

    EXPECT_TRUE(getFontPath().startsWith(folder.getFullPathName() + ";")) << getFontPath();
    EXPECT_EQ(juce::StringArray({ "Noto Sans CJK SC", "Noto Sans CJK TC" }), cjkFamilies);
    EXPECT_EQ(juce::StringArray({ "Regular", "Bold" }), juce::Font::findAllTypefaceStyles("Noto Sans CJK SC"));
    EXPECT_EQ(juce::StringArray({ "Regular", "Bold" }), juce::Font::findAllTypefaceStyles("Noto Sans CJK TC"));
}

TEST(FontCollections, MissingOrBrokenCollectionsChangeNothing)
{
    const juce::TemporaryFile folder;
    const auto missing = folder.getFile().getChildFile("Missing.ttc");
    const auto broken = folder.getFile().getChildFile("Broken.ttc");
    const auto staleCopy = folder.getFile().getChildFile("Missing.otf");
    ASSERT_TRUE(folder.getFile().createDirectory());
    // A collection header that announces a thousand faces and holds none.
    ASSERT_TRUE(broken.replaceWithData("ttcf\0\1\0\0\0\0\3\xe8", 12));
    ASSERT_TRUE(staleCopy.replaceWithText("an earlier copy"));
    const auto before = getFontPath();

    EXPECT_FALSE(FontCollections::expose(folder.getFile(), { missing, broken }));
    EXPECT_EQ(before, getFontPath());
    EXPECT_FALSE(staleCopy.exists());
    EXPECT_FALSE(folder.getFile().getChildFile("Broken.otf").exists());
    folder.getFile().deleteRecursively();
}

} // namespace
