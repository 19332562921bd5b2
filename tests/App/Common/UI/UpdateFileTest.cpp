// The update file check: what makes a file faulty, what a sound file yields,
// and the CRC the sections are checked with.
#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include "Support/Crc16Xmodem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

namespace uitest
{
namespace
{

const juce::String checkedName("check.upd");

UpdateFileParts threeSections()
{
    UpdateFileParts parts;
    parts.sections = { testPattern(100, 1), testPattern(62, 2), testPattern(63, 3) };
    parts.sendFlags = { 'Y', 'N', 'Y' };
    return parts;
}

long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class UpdateFileCheck : public ::testing::Test
{
protected:
    int check(const std::vector<uint8_t>& bytes, int* version = nullptr)
    {
        FileBesideExecutable file(checkedName, bytes);
        return component.checkUPD(checkedName, MainComponentProbe::modelName, version);
    }

    void write32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes[offset + (size_t) i] = static_cast<uint8_t>(value >> (8 * i));
    }

    MainComponentProbe component;
};

//==============================================================================
// CRC-16/XMODEM, the checksum of each section.
TEST(UpdateFileCrc, GivesTheStandardCheckValues)
{
    const juce::uint8 digits[] = { '1', '2', '3', '4', '5', '6', '7', '8', '9' };
    const juce::uint8 abc[] = { 'a', 'b', 'c' };

    EXPECT_EQ(0x31C3, MainComponent::calcCRC(digits, 9));
    EXPECT_EQ(0x9DD6, MainComponent::calcCRC(abc, 3));
}

TEST(UpdateFileCrc, IsZeroForNoData)
{
    const juce::uint8 byte = 0x55;

    EXPECT_EQ(0, MainComponent::calcCRC(&byte, 0));
    EXPECT_EQ(0, MainComponent::calcCRC(&byte, -5));
    EXPECT_EQ(0, MainComponent::calcCRC(nullptr, 0));
}

TEST(UpdateFileCrc, AgreesWithABitwiseComputationOverEveryByteValue)
{
    for (size_t size : { size_t(1), size_t(2), size_t(61), size_t(256), size_t(4099) })
    {
        auto data = testPattern(size, static_cast<uint8_t>(size));
        EXPECT_EQ(kvxtest::crc16Xmodem(data.data(), data.size()), MainComponent::calcCRC(data.data(), (int) size))
            << "for " << size << " bytes";
    }
}

//==============================================================================
TEST(UpdateFileHexDigit, ReadsDigitsInBothCasesAndNothingElse)
{
    EXPECT_EQ(0, MainComponent::ConvertAsciiToHex('0'));
    EXPECT_EQ(9, MainComponent::ConvertAsciiToHex('9'));
    EXPECT_EQ(10, MainComponent::ConvertAsciiToHex('a'));
    EXPECT_EQ(15, MainComponent::ConvertAsciiToHex('f'));
    EXPECT_EQ(10, MainComponent::ConvertAsciiToHex('A'));
    EXPECT_EQ(15, MainComponent::ConvertAsciiToHex('F'));

    for (int c : { int('g'), int('G'), int('/'), int(':'), int('@'), int('`'), int(' '), 0, 0xFF })
        EXPECT_EQ(0, MainComponent::ConvertAsciiToHex(static_cast<juce::uint8>(c))) << "for byte " << c;
}

//==============================================================================
// A sound file gives its total size, its version and each section's fields.
TEST_F(UpdateFileCheck, SoundFileGivesTotalSizeVersionAndSections)
{
    const auto parts = threeSections();
    int version = 0;

    EXPECT_EQ(100 + 62 + 63, check(parts.build(), &version));
    EXPECT_EQ(123, version);

    for (int s = 0; s < 3; ++s)
    {
        const auto& data = parts.sections[(size_t) s];
        EXPECT_EQ(data.size(), component.getSectionSize(s)) << "section " << s;
        EXPECT_EQ(kvxtest::crc16Xmodem(data.data(), data.size()), component.getSectionCrc(s)) << "section " << s;
    }

    EXPECT_TRUE(component.isSectionMarked(0));
    EXPECT_FALSE(component.isSectionMarked(1));
    EXPECT_TRUE(component.isSectionMarked(2));
}

TEST_F(UpdateFileCheck, BytesAfterTheLastSectionCountInTheTotal)
{
    auto parts = threeSections();
    parts.trailer = testPattern(10, 9);

    EXPECT_EQ(100 + 62 + 63 + 10, check(parts.build()));
}

TEST_F(UpdateFileCheck, OnlyAnUpperCaseYMarksASection)
{
    auto parts = threeSections();
    parts.sendFlags = { 'y', 'Y', 'N' };

    EXPECT_GT(check(parts.build()), 0);
    EXPECT_FALSE(component.isSectionMarked(0));
    EXPECT_TRUE(component.isSectionMarked(1));
    EXPECT_FALSE(component.isSectionMarked(2));
}

TEST_F(UpdateFileCheck, VersionBytesAreNotTestedForDigits)
{
    auto parts = threeSections();
    parts.versionDigits = "1A0";
    int version = 0;

    EXPECT_GT(check(parts.build(), &version), 0);
    EXPECT_EQ(100 + 17 * 10 + 0, version);
}

//==============================================================================
// Faults found before the version is read leave it at -1.
TEST_F(UpdateFileCheck, MissingFileIsFaulty)
{
    int version = 0;

    EXPECT_EQ(0, component.checkUPD("no-such-file.upd", MainComponentProbe::modelName, &version));
    EXPECT_EQ(-1, version);
}

TEST_F(UpdateFileCheck, DirectoryOfThatNameIsNoFile)
{
    const auto directory = fileBesideExecutable(checkedName);
    ASSERT_TRUE(directory.createDirectory());
    int version = 0;

    EXPECT_EQ(0, component.checkUPD(checkedName, MainComponentProbe::modelName, &version));
    EXPECT_EQ(-1, version);
    directory.deleteRecursively();
}

TEST_F(UpdateFileCheck, FileShorterThanItsHeaderIsFaultyWithoutVersion)
{
    auto bytes = threeSections().build();
    bytes.resize(35);
    int version = 0;

    EXPECT_EQ(0, check(bytes, &version));
    EXPECT_EQ(-1, version);
    EXPECT_EQ(0, check({}, &version));
    EXPECT_EQ(-1, version);
}

TEST_F(UpdateFileCheck, UnreadableFileIsFaultyWithoutVersion)
{
    FileBesideExecutable file(checkedName, threeSections().build());
    chmod(file.getFile().getFullPathName().toRawUTF8(), 0);

    if (access(file.getFile().getFullPathName().toRawUTF8(), R_OK) == 0)
        GTEST_SKIP() << "this user reads files whatever their mode";

    int version = 0;
    EXPECT_EQ(0, component.checkUPD(checkedName, MainComponentProbe::modelName, &version));
    EXPECT_EQ(-1, version);
}

//==============================================================================
// Whatever lies beside the executable under that name, the check ends at once
// and holds no more memory than a sound file needs.
TEST_F(UpdateFileCheck, FifoIsFaultyWithoutWaitingForAWriter)
{
    const auto fifo = fileBesideExecutable(checkedName);
    const auto path = fifo.getFullPathName().toStdString();
    fifo.deleteRecursively();
    ASSERT_EQ(0, mkfifo(path.c_str(), 0600));

    // A check blocked in its open is released after a bound by a writer (whose
    // own open cannot block), so that it fails instead of hanging the test.
    std::promise<void> checked;
    auto guard = std::async(std::launch::async, [&path, done = checked.get_future()] {
        if (done.wait_for(std::chrono::seconds(30)) == std::future_status::ready)
            return false;

        close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
        return true;
    });

    EXPECT_EQ(0, component.checkUPD(checkedName, MainComponentProbe::modelName, nullptr));
    checked.set_value();
    EXPECT_FALSE(guard.get()) << "the check waited on the FIFO until a writer came";
    fifo.deleteFile();
}

TEST_F(UpdateFileCheck, FileLongerThanTheFormatAllowsIsFaultyWithoutBeingRead)
{
    FileBesideExecutable file(checkedName, {});
    const off_t oneGiB = off_t(1) << 30;
    ASSERT_EQ(0, truncate(file.getFile().getFullPathName().toRawUTF8(), oneGiB)); // sparse: no disk
    const auto peakBefore = peakResidentKiB();

    EXPECT_EQ(0, component.checkUPD(checkedName, MainComponentProbe::modelName, nullptr));
    EXPECT_LT(peakResidentKiB() - peakBefore, 128 * 1024) << "KiB more at the peak: the file was read";
}

//==============================================================================
// Faults in a section: the version has been read by then.
TEST_F(UpdateFileCheck, ModelNameMustMatchAllSevenBytes)
{
    const auto parts = threeSections();

    for (int s = 0; s < 3; ++s)
    {
        auto bytes = parts.build();
        bytes[parts.headerOffset(s) + 6] = 0; // NUL where the blank belongs
        int version = 0;

        EXPECT_EQ(0, check(bytes, &version)) << "section " << s;
        EXPECT_EQ(123, version) << "section " << s;
    }
}

TEST_F(UpdateFileCheck, CrcStoredHighByteFirstIsFaulty)
{
    const auto parts = threeSections();
    auto bytes = parts.build();
    const auto crc = parts.crcOffset(1);
    ASSERT_NE(bytes[crc], bytes[crc + 1]);
    std::swap(bytes[crc], bytes[crc + 1]);
    int version = 0;

    EXPECT_EQ(0, check(bytes, &version));
    EXPECT_EQ(123, version);
}

TEST_F(UpdateFileCheck, DeclaredSizePastTheEndIsFaulty)
{
    const auto parts = threeSections();
    auto bytes = parts.build();
    write32(bytes, parts.headerOffset(0) + 32, static_cast<uint32_t>(bytes.size()));
    int version = 0;

    EXPECT_EQ(0, check(bytes, &version));
    EXPECT_EQ(123, version);
}

TEST_F(UpdateFileCheck, HugeDeclaredSizeDoesNotWrapAround)
{
    const auto parts = threeSections();
    auto bytes = parts.build();
    write32(bytes, parts.headerOffset(0) + 32, 0xFFFFFFFF);

    EXPECT_EQ(0, check(bytes));
}

TEST_F(UpdateFileCheck, FileEndingInsideASectionIsFaulty)
{
    const auto parts = threeSections();
    const auto whole = parts.build();

    // Cut inside the second header, inside the third section's data and inside its CRC.
    for (size_t length : { parts.headerOffset(1) + 20, parts.dataOffset(2) + 5, parts.crcOffset(2) + 1 })
    {
        std::vector<uint8_t> bytes(whole.begin(), whole.begin() + (long) length);
        EXPECT_EQ(0, check(bytes)) << "cut at " << length;
    }
}

TEST_F(UpdateFileCheck, EmptySectionsGiveNoData)
{
    UpdateFileParts parts; // three sections of 0 bytes, CRC 0 each: 150 bytes
    const auto bytes = parts.build();
    ASSERT_EQ(150u, bytes.size());
    int version = 0;

    EXPECT_EQ(0, check(bytes, &version));
    EXPECT_EQ(123, version);
}

//==============================================================================
// CmdStart carries each size in 24 bits: a file whose sizes need more is refused
// rather than announced wrongly.
TEST_F(UpdateFileCheck, SectionOf24BitsIsTheLargest)
{
    UpdateFileParts parts;
    parts.sections[0] = testPattern(0xFFFFFF, 4);

    EXPECT_EQ(0xFFFFFF, check(parts.build()));
}

TEST_F(UpdateFileCheck, SectionBeyond24BitsIsRefused)
{
    UpdateFileParts parts;
    parts.sections[0] = testPattern(0x1000000, 5);

    EXPECT_EQ(0, check(parts.build()));
}

TEST_F(UpdateFileCheck, TotalBeyond24BitsIsRefused)
{
    UpdateFileParts parts;
    parts.sections[0] = testPattern(0x800000, 6);
    parts.sections[1] = testPattern(0x7FFFFF, 7);
    parts.trailer = { 1 };

    EXPECT_EQ(0, check(parts.build()));

    parts.trailer.clear();
    EXPECT_EQ(0xFFFFFF, check(parts.build()));
}

//==============================================================================
// What the component makes of its update file beside the executable.
class UpdateFileAtStart : public ::testing::Test
{
protected:
    bool validWith(const std::vector<uint8_t>& bytes)
    {
        FileBesideExecutable file(MainComponentProbe::updateFileName, bytes);
        MainComponentProbe component;
        return component.isUpdateFileValid();
    }
};

TEST_F(UpdateFileAtStart, SoundFileIsValid)
{
    EXPECT_TRUE(validWith(threeSections().build()));
}

TEST_F(UpdateFileAtStart, NoFileBesideTheExecutableIsFaulty)
{
    fileBesideExecutable(MainComponentProbe::updateFileName).deleteRecursively();
    MainComponentProbe component;

    EXPECT_FALSE(component.isUpdateFileValid());
}

TEST_F(UpdateFileAtStart, VersionZeroIsFaulty)
{
    auto parts = threeSections();
    parts.versionDigits = "000";

    EXPECT_FALSE(validWith(parts.build()));
}

TEST_F(UpdateFileAtStart, VersionBelowZeroIsFaulty)
{
    auto parts = threeSections();
    parts.versionDigits = "0/0"; // '/' counts as -1

    EXPECT_FALSE(validWith(parts.build()));
}

TEST_F(UpdateFileAtStart, FileWithoutDataIsFaulty)
{
    EXPECT_FALSE(validWith(UpdateFileParts().build()));
}

} // namespace
} // namespace uitest
