// JUCE's font scan kept to the names it can decode: a folder whose entries
// hold another name is passed over, and the folders below it that hold none
// are scanned in its place.
#include "FontFolders.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
TEST (FontFolders, AFolderWithANameJuceCannotDecodeGivesWayToTheFoldersBelowItThatHaveNone)
{
    auto pattern = (std::filesystem::temp_directory_path() / "kvx-font-folders-XXXXXX").string();
    ASSERT_NE (nullptr, mkdtemp (pattern.data()));
    const std::filesystem::path root (pattern);
    const std::string stray = "\x80" "AAAA";
    for (const auto& folder : { root / "clean" / "deeper", root / "odd" / "clean", root / stray / "hidden" })
        std::filesystem::create_directories (folder);
    for (const auto& file : { root / "clean" / "deeper" / "a.ttf", root / "odd" / (stray + ".ttf"),
                              root / "odd" / "clean" / "b.ttf", root / stray / "hidden" / "c.ttf" })
        std::ofstream (file) << "font data";
    const char* previous = std::getenv ("JUCE_FONT_PATH");
    const std::string previousValue = previous != nullptr ? previous : "";

    std::ostringstream messages;
    setenv ("JUCE_FONT_PATH", root.c_str(), 1);
    FontFolders::passOverUndecodableNames (messages);
    auto scanned = juce::StringArray::fromTokens (std::getenv ("JUCE_FONT_PATH"), ";", "");
    scanned.sort (false);

    EXPECT_EQ ((root / "clean").string() + ";" + (root / "odd" / "clean").string(),
               scanned.joinIntoString (";").toStdString());
    EXPECT_NE (std::string::npos, messages.str().find ("\"" + root.string() + "\" holds")) << messages.str();
    EXPECT_NE (std::string::npos, messages.str().find ("\"" + (root / "odd").string() + "\"")) << messages.str();

    // Where every name is decodable, JUCE keeps its own folders.
    std::ostringstream none;
    setenv ("JUCE_FONT_PATH", (root / "clean").c_str(), 1);
    FontFolders::passOverUndecodableNames (none);
    EXPECT_EQ ((root / "clean").string(), std::string (std::getenv ("JUCE_FONT_PATH")));
    EXPECT_EQ ("", none.str());

    if (previous != nullptr)
        setenv ("JUCE_FONT_PATH", previousValue.c_str(), 1);
    else
        unsetenv ("JUCE_FONT_PATH");
    std::filesystem::remove_all (root);
}
}
