// Reference counting and the calls every object answers to.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

namespace
{
CFNumberRef makeInt(int value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value);
}
} // namespace

//==============================================================================
// Faults guarded against: an object freed while still referenced, or never freed.

TEST(CFObjectLifetime, RetainAndReleaseMoveTheCountByOne)
{
    CFNumberRef number = makeInt(7);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    EXPECT_EQ(CFRetain(number), number);
    EXPECT_EQ(CFGetRetainCount(number), 2);
    CFRelease(number);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    CFRelease(number); // the last reference: AddressSanitizer reports a leak otherwise
}

TEST(CFObjectLifetime, ConstantStringsIgnoreRetainAndRelease)
{
    CFStringRef constant = CFSTR("constant text");
    for (int i = 0; i < 5; ++i)
        CFRelease(constant);
    EXPECT_EQ(CFSTR("constant text"), constant);
    EXPECT_EQ(CFStringGetLength(constant), 13);
}

TEST(CFObjectLifetime, BooleansIgnoreRetainAndRelease)
{
    CFRelease(kCFBooleanTrue);
    CFRelease(kCFBooleanTrue);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_EQ(CFGetTypeID(kCFBooleanFalse), CFBooleanGetTypeID());
}

TEST(CFObjectLifetimeDeathTest, NullReferencesStopTheProgram)
{
    EXPECT_DEATH(CFRetain(nullptr), "CFRetain: null reference");
    EXPECT_DEATH(CFRelease(nullptr), "CFRelease: null reference");
    EXPECT_DEATH(CFGetTypeID(nullptr), "CFGetTypeID: null reference");
}

TEST(CFObjectLifetimeDeathTest, AnObjectOfAnotherFamilyStopsTheProgram)
{
    CFNumberRef number = makeInt(1);
    EXPECT_DEATH(CFStringGetLength(reinterpret_cast<CFStringRef>(number)),
                 "CFStringGetLength: reference of another type");
    CFRelease(number);
}

//==============================================================================
// Faults guarded against: objects of different families taken as equal, or
// equal objects that hash apart (a dictionary would lose them).

TEST(CFObjectEquality, FamiliesDifferEvenWithTheSameText)
{
    CFNumberRef one = makeInt(1);
    CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, "1", kCFStringEncodingUTF8);
    EXPECT_FALSE(CFEqual(one, text));
    EXPECT_FALSE(CFEqual(text, one));
    CFRelease(one);
    CFRelease(text);
}

TEST(CFObjectEquality, DescriptionsOfEachFamily)
{
    const auto describe = [](CFTypeRef object) {
        CFStringRef description = CFCopyDescription(object);
        std::string text = CFStringGetCStringPtr(description, kCFStringEncodingUTF8);
        CFRelease(description);
        return text;
    };
    CFNumberRef number = makeInt(-42);
    const UInt8 bytes[] = { 0x01, 0xAB };
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes, 2);
    const void* values[] = { CFSTR("a"), number };
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, 2, &kCFTypeArrayCallBacks);

    EXPECT_EQ(describe(CFSTR("text")), "text");
    EXPECT_EQ(describe(number), "-42");
    EXPECT_EQ(describe(data), "<01ab>");
    EXPECT_EQ(describe(array), "(a, -42)");
    EXPECT_EQ(describe(kCFBooleanTrue), "true");
    EXPECT_EQ(CFCopyDescription(nullptr), nullptr);

    CFRelease(array);
    CFRelease(data);
    CFRelease(number);
}
