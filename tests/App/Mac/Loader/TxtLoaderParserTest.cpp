// The text-table parser over hand-made tables: what it collects, what it drops,
// and that it reads no byte it was not given.
#include "Loader.h"
#include "Binary.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

const char* const unset = "\x01unset";

// The entries that a parse of table writes for section, up to max.
std::vector<std::string> parse(const std::string& table, FlgTable section = FlgStr, int max = TxtLoader::numStrings)
{
    std::vector<juce::String> out((size_t) max + 1, unset);
    const char* pointer = table.data();
    const int length = (int) table.size();
    TxtLoader::Load(&pointer, &length, section, out.data(), max);

    EXPECT_EQ(out[(size_t) max], unset) << "written past max";
    std::vector<std::string> entries;
    for (int i = 0; i < max && out[(size_t) i] != unset; ++i)
        entries.push_back(out[(size_t) i].toStdString());
    return entries;
}

std::string entryOf(const std::string& line)
{
    const auto entries = parse(":STR\n" + line + "\n");
    return entries.empty() ? unset : entries[0];
}

using Entries = std::vector<std::string>;

// Bytes laid out so that the last one given sits right before a page that cannot
// be read: a read beyond them faults.
class GuardedBytes
{
public:
    explicit GuardedBytes(const std::string& bytes)
    {
        pageSize = (size_t) sysconf(_SC_PAGESIZE);
        pages = static_cast<char*>(mmap(nullptr, 2 * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        EXPECT_NE(pages, MAP_FAILED);
        EXPECT_LE(bytes.size(), pageSize);
        mprotect(pages + pageSize, pageSize, PROT_NONE);
        char* start = pages + pageSize - bytes.size();
        std::memcpy(start, bytes.data(), bytes.size());
        data = start;
    }

    ~GuardedBytes() { munmap(pages, 2 * pageSize); }

    const char* data = nullptr;

private:
    size_t pageSize = 0;
    char* pages = nullptr;
};

std::vector<std::string> parseGuarded(const GuardedBytes& bytes, int length)
{
    std::vector<juce::String> out(TxtLoader::numStrings);
    const char* pointer = bytes.data;
    TxtLoader::Load(&pointer, &length, FlgStr, out.data(), TxtLoader::numStrings);
    std::vector<std::string> entries;
    for (const auto& entry : out)
        if (entry.isNotEmpty())
            entries.push_back(entry.toStdString());
    return entries;
}

} // namespace

//==============================================================================
// Escapes and quotes inside an entry
TEST(TxtLoaderEntries, KnownEscapesStandForTheirCharacters)
{
    EXPECT_EQ(entryOf(R"("A\"B")"), "A\"B");
    EXPECT_EQ(entryOf(R"("a\\b")"), "a\\b");
    EXPECT_EQ(entryOf(R"("\r\n\t")"), "\r\n\t");
}

TEST(TxtLoaderEntries, OtherBackslashesAreCopiedWithTheCharacterAfterThem)
{
    EXPECT_EQ(entryOf(R"("a\qb")"), "a\\qb");
    EXPECT_EQ(entryOf(R"("a\)"), "a\\");
}

TEST(TxtLoaderEntries, EntryEndsAtItsClosingQuoteOrAtTheLineEnd)
{
    EXPECT_EQ(entryOf(R"(  "kept" dropped "also dropped")"), "kept");
    EXPECT_EQ(entryOf(R"("no closing quote)"), "no closing quote");
    EXPECT_EQ(entryOf(R"("")"), "");
}

TEST(TxtLoaderEntries, LineWithoutAQuoteIsAnEmptyEntryAndKeepsTheNumbering)
{
    EXPECT_EQ(parse(":STR\nno quote here\n\"second\"\n"), (Entries { "", "second" }));
}

//==============================================================================
// Lines of 2048 bytes or more are cut, never written past a buffer.
TEST(TxtLoaderEntries, OverlongLineIsCutAndTheNextLineStillReads)
{
    const std::string longText(5000, 'x');
    EXPECT_EQ(parse(":STR\n\"" + longText + "\"\n\"next\"\n"), (Entries { std::string(2046, 'x'), "next" }));
}

TEST(TxtLoaderEntries, LineOf2047BytesIsKeptWhole)
{
    const std::string text(2045, 'y');
    EXPECT_EQ(parse(":STR\n\"" + text + "\"\n"), (Entries { text }));
}

TEST(TxtLoaderEntries, OverlongLineOfEscapesStaysWithinTheEntry)
{
    std::string escapes;
    for (int i = 0; i < 2000; ++i)
        escapes += "\\n";
    EXPECT_EQ(parse(":STR\n\"" + escapes + "\"\n").at(0), std::string(1023, '\n'));
}

//==============================================================================
// Sections and markers
TEST(TxtLoaderSections, MarkerNamesAreFoundAnywhereInTheMarkerLine)
{
    EXPECT_EQ(parse(":STRINGS\n\"a\"\n"), (Entries { "a" }));
    EXPECT_EQ(parse(":FONT_MAC_LANG\n\"typeface\"\n", FlgFontMac), (Entries { "typeface" }));
    EXPECT_EQ(parse(":FONT_MAC_LANG\n\"typeface\"\n", FlgLang), Entries {});
}

TEST(TxtLoaderSections, MarkerHoldingEofEndsTheTableWhateverElseItNames)
{
    EXPECT_EQ(parse(":STR\n\"a\"\n:STR_EOF\n\"b\"\n"), (Entries { "a" }));
    EXPECT_EQ(parse(":STR\n\"a\"\n:EOF\n:STR\n\"b\"\n"), (Entries { "a" }));
}

TEST(TxtLoaderSections, FontWinCollectsIntoNoSection)
{
    const std::string table = ":FONT_WIN\n\"Arial\"\n:EOF\n";
    for (auto section : { FlgFontMac, FlgLang, FlgStr })
        EXPECT_EQ(parse(table, section), Entries {}) << "section " << section;
}

TEST(TxtLoaderSections, EntriesBeforeAnyMarkerBelongToNoSection)
{
    EXPECT_EQ(parse("\xEF\xBB\xBF\n\"stray\"\n:STR\n\"a\"\n"), (Entries { "a" }));
}

TEST(TxtLoaderSections, SectionOpenedTwiceGoesOnNumbering)
{
    EXPECT_EQ(parse(":STR\n\"a\"\n:LANG\n\"x\"\n:STR\n\"b\"\n"), (Entries { "a", "b" }));
}

TEST(TxtLoaderSections, CommentsAndEmptyLinesAreNotEntries)
{
    EXPECT_EQ(parse(":STR\n\n# \"comment\"\n\"a\"\n\n\"b\"\n"), (Entries { "a", "b" }));
}

//==============================================================================
// How many entries are written
TEST(TxtLoaderCounts, EntriesBeyondMaxAreDropped)
{
    std::string table = ":STR\n";
    for (int i = 0; i < 25; ++i)
        table += "\"" + std::to_string(i) + "\"\n";

    const auto entries = parse(table);
    ASSERT_EQ(entries.size(), 24u);
    EXPECT_EQ(entries.back(), "23");
}

TEST(TxtLoaderCounts, ElementsWithoutAnEntryKeepWhatTheyHeld)
{
    juce::String out[3] = { "old 0", "old 1", "old 2" };
    const std::string table = ":STR\n\"new 0\"\n";
    const char* pointer = table.data();
    const int length = (int) table.size();

    TxtLoader::Load(&pointer, &length, FlgStr, out, 3);

    EXPECT_EQ(out[0], "new 0");
    EXPECT_EQ(out[1], "old 1");
    EXPECT_EQ(out[2], "old 2");
}

TEST(TxtLoaderCounts, MissingOrEmptyTableWritesNothing)
{
    juce::String out[1] = { "old" };
    const char* none = nullptr;
    const char* text = ":STR\n\"a\"\n";
    const int length = 9;
    const int zero = 0;

    TxtLoader::Load(&none, &length, FlgStr, out, 1);
    TxtLoader::Load(&text, &zero, FlgStr, out, 1);
    TxtLoader::Load(nullptr, &length, FlgStr, out, 1);
    TxtLoader::Load(&text, nullptr, FlgStr, out, 1);

    EXPECT_EQ(out[0], "old");
}

//==============================================================================
// Line ends
TEST(TxtLoaderLineEnds, LfOnlyAndCrOnlyTablesParseLikeCrLf)
{
    const std::string crlf(english_txt_pointer, (size_t) english_txt_length);
    const auto expected = parse(crlf);
    ASSERT_EQ(expected.size(), 24u);

    const auto lf = juce::String(crlf).replace("\r\n", "\n").toStdString();
    const auto cr = juce::String(crlf).replace("\r\n", "\r").toStdString();
    EXPECT_EQ(parse(lf), expected);
    EXPECT_EQ(parse(cr), expected);
}

TEST(TxtLoaderLineEnds, LfCrIsOneLineEndAndRepeatedEndsAreEmptyLines)
{
    EXPECT_EQ(parse(":STR\n\r\"a\"\n\r\"b\"\r\r\r\"c\"\n\n\"d\""), (Entries { "a", "b", "c", "d" }));
}

//==============================================================================
// Reads stay within the table
TEST(TxtLoaderBounds, BytesAfterTheEndMarkerAreNeverRead)
{
    for (const std::string table : { ":STR\r\n\"a\"\r\n:EOF\r\n", ":STR\n\"a\"\n:EOF\n", ":STR\r\"a\"\r:EOF\r" })
    {
        const GuardedBytes bytes(table);
        // The length claims a digit after the marker, as in the Japanese table; it lies in the guard page.
        EXPECT_EQ(parseGuarded(bytes, (int) table.size() + 1), (Entries { "a" }));
    }
}

TEST(TxtLoaderBounds, TableWithoutEndMarkerOrFinalLineEndStopsAtItsLength)
{
    for (const std::string table : { ":STR\n\"a\"\n\"b", ":STR\n\"a\"\n\"b\"\r", ":STR\n\"a\"\n\"b\\" })
    {
        const GuardedBytes bytes(table);
        const auto entries = parseGuarded(bytes, (int) table.size());
        ASSERT_EQ(entries.size(), 2u) << table;
        EXPECT_EQ(entries[0], "a");
    }
}

TEST(TxtLoaderBounds, JapaneseTableIsReadUpToItsEndMarkerOnly)
{
    const std::string table(japanese_txt_pointer, (size_t) japanese_txt_length);
    const GuardedBytes bytes(table.substr(0, table.size() - 1));

    EXPECT_EQ(parseGuarded(bytes, japanese_txt_length).size(), 23u) << "24 entries, entry 0 empty";
}

//==============================================================================
// Bytes that are not well-formed UTF-8 each become U+FFFD; JUCE, given them,
// wrote past the end of the string it made.
const std::string replacement = "\xEF\xBF\xBD";

TEST(TxtLoaderEncoding, StrayAndTruncatedSequencesBecomeReplacementCharacters)
{
    // Found by the fuzzer: stray continuation bytes, then a lead byte cut short.
    EXPECT_EQ(entryOf("\"A\xae\x80\xe4\xbd\x93\xb8\xad\xe6\x96\x96"),
              "A" + replacement + replacement + "\xe4\xbd\x93" + replacement + replacement + "\xe6\x96\x96");
    EXPECT_EQ(entryOf("\"ab\xe6\x96\""), "ab" + replacement + replacement);
}

TEST(TxtLoaderEncoding, OverlongFormsSurrogatesAndValuesPastUnicodeAreReplacedBytewise)
{
    EXPECT_EQ(entryOf("\"\xc1\xbf\""), replacement + replacement);
    EXPECT_EQ(entryOf("\"\xe0\x80\xaf\""), replacement + replacement + replacement);
    EXPECT_EQ(entryOf("\"\xed\xa0\x80\""), replacement + replacement + replacement);
    EXPECT_EQ(entryOf("\"\xf4\x90\x80\x80\""), replacement + replacement + replacement + replacement);
    EXPECT_EQ(entryOf("\"\xf8\x88\x80\x80\x80\""), replacement + replacement + replacement + replacement + replacement);
}

TEST(TxtLoaderEncoding, WellFormedSequencesOfEveryLengthAreKept)
{
    const std::string text = "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x8e\xb5\xf4\x8f\xbf\xbf\xee\x80\x80";
    EXPECT_EQ(entryOf("\"" + text + "\""), text);
}

TEST(TxtLoaderEncoding, LongestLineOfBadBytesGrowsWithoutOverrunningAnything)
{
    const auto entries = parse(":STR\n\"" + std::string(2046, '\xff') + "\n");

    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), 2046 * replacement.size());
}
