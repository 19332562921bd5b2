// Name lookup in property-list resources: where the lists are found, how long
// they are kept, the key formats, and buffers that are never overrun.
#include "BundleFolders.h"
#include "HID_Name_Lookup.h"
#include "UsageNameList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace
{
// Lists in a bundle folder of their own, known to the process as a bundle.
class NameLists : public ::testing::Test
{
protected:
    void SetUp() override
    {
        forgetLoadedLists();
        folder = bundles.add();
    }

    void TearDown() override { forgetLoadedLists(); }

    void writeList(const char* name, const std::string& body, const fs::path& in = {}) const
    {
        BundleFolders::writeList(in.empty() ? folder : in, name, body);
    }

    static void forgetLoadedLists()
    {
        for (CFPropertyListRef* cache : { &gUsageCFPropertyListRef, &gCookieCFPropertyListRef })
        {
            if (*cache != nullptr)
                CFRelease(*cache);
            *cache = nullptr;
        }
    }

    // The buffer of the documented size, followed by guard bytes that must stay untouched.
    struct NameBuffer
    {
        NameBuffer() { std::memset(bytes, 'x', sizeof bytes); }
        bool guardIntact() const
        {
            for (size_t i = kHIDNameBufferSize; i < sizeof bytes; ++i)
                if (bytes[i] != 'x')
                    return false;
            return true;
        }
        std::string text() const { return std::string(bytes, strnlen(bytes, kHIDNameBufferSize)); }
        char bytes[kHIDNameBufferSize + 16];
    };

    BundleFolders bundles;
    fs::path folder;
};

const std::string deviceUsageList = R"(<dict>
    <key>4617</key><dict>
        <key>Name</key><string>Maker</string>
        <key>14</key><dict>
            <key>Name</key><string>KVX-TN</string>
            <key>65280:1</key><string>Jog Wheel</string>
            <key>1:48</key><integer>42</integer>
        </dict>
        <key>15</key><dict><key>1:48</key><string>Fader</string></dict>
    </dict>
    <key>4618</key><dict><key>14</key><dict><key>Name</key><string>Nameless Maker's</string></dict></dict>
    <key>4619</key><dict><key>Name</key><integer>7</integer></dict>
    <key>4620</key><string>no dictionary</string>
    <key>4621</key><dict><key>14</key><string>no dictionary</string></dict>
</dict>)";

//==============================================================================
// Faults guarded against: a list not found where it lies, a missing list cached
// as missing, a wrong key format.

TEST_F(NameLists, MissingListsFindNothingAndAreLookedForAgain)
{
    NameBuffer buffer;
    EXPECT_FALSE(HIDGetVendorNameFromVendorID(4617, buffer.bytes));
    EXPECT_EQ(buffer.text(), "");
    EXPECT_FALSE(HIDGetProductNameFromVendorProductID(4617, 14, buffer.bytes));
    EXPECT_FALSE(HIDGetElementNameFromVendorProductCookie(4617, 14, 3, buffer.bytes));
    EXPECT_FALSE(HIDGetElementNameFromVendorProductUsage(4617, 14, 0xFF00, 1, buffer.bytes));
    EXPECT_EQ(buffer.text(), "");

    writeList("HID_device_usage_strings", deviceUsageList);
    EXPECT_TRUE(HIDGetVendorNameFromVendorID(4617, buffer.bytes));
    EXPECT_EQ(buffer.text(), "Maker");
}

TEST_F(NameLists, DeviceNamesFollowTheVendorProductAndUsageKeys)
{
    writeList("HID_device_usage_strings", deviceUsageList);
    NameBuffer buffer;
    EXPECT_TRUE(HIDGetProductNameFromVendorProductID(4617, 14, buffer.bytes));
    EXPECT_EQ(buffer.text(), "Maker KVX-TN");
    EXPECT_TRUE(HIDGetElementNameFromVendorProductUsage(4617, 14, 0xFF00, 1, buffer.bytes));
    EXPECT_EQ(buffer.text(), "Jog Wheel") << "the element's name alone";
    EXPECT_TRUE(HIDGetElementNameFromVendorProductUsage(4617, 14, 1, 0x30, buffer.bytes));
    EXPECT_EQ(buffer.text(), "42") << "a name given as a number reads as its text";
    EXPECT_TRUE(HIDGetProductNameFromVendorProductID(4618, 14, buffer.bytes));
    EXPECT_EQ(buffer.text(), "(null) Nameless Maker's");

    EXPECT_FALSE(HIDGetElementNameFromVendorProductUsage(4617, 14, 0xFF00, 2, buffer.bytes));
    EXPECT_EQ(buffer.text(), "");
    EXPECT_FALSE(HIDGetProductNameFromVendorProductID(4617, 16, buffer.bytes));
    EXPECT_FALSE(HIDGetVendorNameFromVendorID(4618, buffer.bytes)) << "a vendor without \"Name\"";
}

TEST_F(NameLists, CookiesAreKeyedInSignedDecimal)
{
    writeList("HID_cookie_strings", R"(<dict><key>4617</key><dict><key>14</key><dict>
        <key>3</key><string>Play</string>
        <key>-2147483647</key><string>High Cookie</string>
        <key>Name</key><string>ignored</string>
    </dict></dict></dict>)");
    NameBuffer buffer;
    EXPECT_TRUE(HIDGetElementNameFromVendorProductCookie(4617, 14, 3, buffer.bytes));
    EXPECT_EQ(buffer.text(), "Play");
    EXPECT_TRUE(HIDGetElementNameFromVendorProductCookie(4617, 14, 0x80000001u, buffer.bytes));
    EXPECT_EQ(buffer.text(), "High Cookie");
    EXPECT_FALSE(HIDGetElementNameFromVendorProductCookie(4617, 14, 4, buffer.bytes));
    EXPECT_EQ(buffer.text(), "");
}

TEST_F(NameLists, TheLibrarysOwnBundleIsAskedBeforeTheOthers)
{
    writeList("HID_device_usage_strings", R"(<dict><key>1</key><dict><key>Name</key><string>Any</string></dict></dict>)");
    const fs::path own = bundles.add(kHIDUtilitiesBundleIdentifier);
    writeList("HID_device_usage_strings", R"(<dict><key>1</key><dict><key>Name</key><string>Own</string></dict></dict>)",
              own);
    NameBuffer buffer;
    EXPECT_TRUE(HIDGetVendorNameFromVendorID(1, buffer.bytes));
    EXPECT_EQ(buffer.text(), "Own");
}

//==============================================================================
// Faults guarded against: a loaded list read again (or a broken one retried),
// and lists of an unexpected shape crashing the lookup.

TEST_F(NameLists, AListOnceLoadedStaysEvenWhenItIsNoDictionary)
{
    writeList("HID_cookie_strings", "<array/>");
    NameBuffer buffer;
    EXPECT_FALSE(HIDGetElementNameFromVendorProductCookie(4617, 14, 3, buffer.bytes));
    writeList("HID_cookie_strings", R"(<dict><key>4617</key><dict><key>14</key><dict>
        <key>3</key><string>Play</string></dict></dict></dict>)");
    EXPECT_FALSE(HIDGetElementNameFromVendorProductCookie(4617, 14, 3, buffer.bytes)) << "the array stays cached";
    EXPECT_NE(gCookieCFPropertyListRef, nullptr);
}

TEST_F(NameLists, EntriesOfTheWrongTypeFindNothingInsteadOfStoppingTheProgram)
{
    writeList("HID_device_usage_strings", deviceUsageList);
    NameBuffer buffer;
    EXPECT_FALSE(HIDGetVendorNameFromVendorID(4619, buffer.bytes)) << "a \"Name\" that is no string";
    EXPECT_FALSE(HIDGetProductNameFromVendorProductID(4620, 14, buffer.bytes)) << "a vendor that is no dictionary";
    EXPECT_FALSE(HIDGetElementNameFromVendorProductUsage(4621, 14, 1, 1, buffer.bytes)) << "a product that is no dictionary";
    EXPECT_EQ(buffer.text(), "");
}

//==============================================================================
// Fault guarded against: a name written past the caller's buffer, or refused
// although its UTF-8 form fits.

TEST_F(NameLists, NamesAreWrittenWithinTheDocumentedBufferSize)
{
    const std::string fits(255, 'a');
    const std::string tooLong(256, 'b');
    std::string cjkFitting;
    for (int i = 0; i < 85; ++i)
        cjkFitting += "\xE9\x9F\xB3"; // 255 bytes of three-byte characters
    writeList("HID_device_usage_strings", "<dict><key>1</key><dict><key>Name</key><string>" + fits
                                              + "</string></dict><key>2</key><dict><key>Name</key><string>" + tooLong
                                              + "</string></dict><key>3</key><dict><key>Name</key><string>"
                                              + cjkFitting + "</string></dict></dict>");
    NameBuffer buffer;
    EXPECT_TRUE(HIDGetVendorNameFromVendorID(1, buffer.bytes));
    EXPECT_EQ(buffer.text(), fits);
    EXPECT_FALSE(HIDGetVendorNameFromVendorID(2, buffer.bytes));
    EXPECT_EQ(buffer.text(), "");
    EXPECT_TRUE(HIDGetVendorNameFromVendorID(3, buffer.bytes)) << "85 UTF-16 units, 255 bytes of UTF-8";
    EXPECT_EQ(buffer.text(), cjkFitting);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(TypeNames, CoverTheSevenTypesAndNothingElse)
{
    char name[kHIDTypeNameBufferSize];
    const std::pair<IOHIDElementType, const char*> table[] = {
        { kIOHIDElementTypeInput_Misc, "Miscellaneous Input" }, { kIOHIDElementTypeInput_Button, "Button Input" },
        { kIOHIDElementTypeInput_Axis, "Axis Input" },          { kIOHIDElementTypeInput_ScanCodes, "Scan Code Input" },
        { kIOHIDElementTypeOutput, "Output" },                  { kIOHIDElementTypeFeature, "Feature" },
        { kIOHIDElementTypeCollection, "Collection" } };
    for (const auto& [type, expected] : table)
    {
        HIDGetTypeName(type, name);
        EXPECT_STREQ(name, expected);
    }
    for (int other : { 0, 5, 128, 258, 1024 })
    {
        HIDGetTypeName(static_cast<IOHIDElementType>(other), name);
        EXPECT_STREQ(name, "Unknown Type") << other;
    }
}

//==============================================================================
// Its list is cached inside HIDCopyUsageName for the life of the process, so
// its whole story is told in one test: missing, found, then kept.

TEST_F(NameLists, UsageNamesJoinThePageNameAndTheUsageName)
{
    // Asked while its list is missing, the lookup has to look again once it is
    // there; unless a dump test, run first, had it find the same list already.
    if (CFStringRef early = HIDCopyUsageName(0x0001, 0x0031))
        CFRelease(early);
    writeList("HID_usage_strings", usageNameList);
    CFStringRef name = HIDCopyUsageName(1, 0x30);
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(CFEqual(name, CFSTR("Generic Desktop X")));
    CFRelease(name);
    EXPECT_EQ(HIDCopyUsageName(1, 0x32), nullptr);
    EXPECT_EQ(HIDCopyUsageName(0xFF00, 1), nullptr) << "a page without \"Name\"";
    name = HIDCopyUsageName(0x12345, 1);
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(CFEqual(name, CFSTR("Wide One")));
    CFRelease(name);

    fs::remove(folder / "Resources" / "HID_usage_strings.plist");
    name = HIDCopyUsageName(1, 0x31);
    ASSERT_NE(name, nullptr) << "the list stays loaded";
    CFRelease(name);
}

} // namespace
