// Dictionaries: keys by value, ownership of keys and values, and copies.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace
{
CFNumberRef makeLong(long value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &value);
}

CFStringRef makeString(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

CFMutableDictionaryRef makeTypeDictionary()
{
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}
} // namespace

//==============================================================================
// Faults guarded against: a key found only by the very object it was stored
// with (lookups by an equal string or number would fail).

TEST(CFDictionaryKeys, EqualStringsAndNumbersFindTheEntry)
{
    CFMutableDictionaryRef dictionary = makeTypeDictionary();
    CFNumberRef fourteen = makeLong(14);
    CFDictionarySetValue(dictionary, CFSTR("PrimaryUsagePage"), fourteen);
    CFDictionarySetValue(dictionary, fourteen, CFSTR("by number"));

    CFStringRef key = makeString("PrimaryUsagePage");
    int fourteenAsInt = 14;
    CFNumberRef sameNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &fourteenAsInt);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, key), fourteen);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, sameNumber), CFSTR("by number"));
    const void* value = nullptr;
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dictionary, CFSTR("PrimaryUsage"), &value));
    EXPECT_TRUE(CFDictionaryContainsKey(dictionary, CFSTR("PrimaryUsagePage")));

    CFRelease(sameNumber);
    CFRelease(key);
    CFRelease(fourteen);
    CFRelease(dictionary);
}

TEST(CFDictionaryKeys, CopyStringKeysAreNotChangedThroughTheCaller)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFMutableStringRef key = CFStringCreateMutable(kCFAllocatorDefault, 0);
    CFStringAppendCString(key, "Name", kCFStringEncodingASCII);
    CFDictionarySetValue(dictionary, key, kCFBooleanTrue);
    CFStringAppendCString(key, "Changed", kCFStringEncodingASCII);

    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("Name")), kCFBooleanTrue);
    EXPECT_EQ(CFGetRetainCount(key), 1);
    CFRelease(key);
    CFRelease(dictionary);
}

//==============================================================================
// Faults guarded against: replaced or removed values kept alive, values freed
// while held, and keys and values handed out in mismatched order.

TEST(CFDictionaryOwnership, SetReplacesAndReleasesAndAddKeepsTheFirst)
{
    CFMutableDictionaryRef dictionary = makeTypeDictionary();
    CFNumberRef first = makeLong(1), second = makeLong(2);
    CFDictionarySetValue(dictionary, CFSTR("key"), first);
    CFDictionaryAddValue(dictionary, CFSTR("key"), second);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("key")), first);
    EXPECT_EQ(CFGetRetainCount(second), 1);

    CFDictionarySetValue(dictionary, CFSTR("key"), second);
    EXPECT_EQ(CFGetRetainCount(first), 1);
    EXPECT_EQ(CFGetRetainCount(second), 2);
    CFDictionarySetValue(dictionary, CFSTR("key"), second); // the same value again
    EXPECT_EQ(CFGetRetainCount(second), 2);

    CFDictionaryRemoveValue(dictionary, CFSTR("key"));
    EXPECT_EQ(CFGetRetainCount(second), 1);
    EXPECT_EQ(CFDictionaryGetCount(dictionary), 0);
    CFRelease(first);
    CFRelease(second);
    CFRelease(dictionary);
}

TEST(CFDictionaryOwnership, KeysAndValuesComeOutInPairs)
{
    CFMutableDictionaryRef dictionary = makeTypeDictionary();
    const std::map<std::string, long> entries { { "a", 1 }, { "b", 2 }, { "c", 3 }, { "d", 4 } };
    for (const auto& [name, number] : entries)
    {
        CFStringRef key = makeString(name.c_str());
        CFNumberRef value = makeLong(number);
        CFDictionarySetValue(dictionary, key, value);
        CFRelease(key);
        CFRelease(value);
    }
    CFDictionaryRef copy = CFDictionaryCreateCopy(kCFAllocatorDefault, dictionary);
    CFRelease(dictionary);

    const void* keys[4] = {};
    const void* values[4] = {};
    CFDictionaryGetKeysAndValues(copy, keys, values);
    std::map<std::string, long> seen;
    for (int i = 0; i < 4; ++i)
    {
        long number = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(values[i]), kCFNumberLongType, &number);
        seen[CFStringGetCStringPtr(static_cast<CFStringRef>(keys[i]), kCFStringEncodingUTF8)] = number;
    }
    EXPECT_EQ(seen, entries);
    CFRelease(copy);
}

TEST(CFDictionaryOwnership, MutableCopiesAreEqualAndIndependent)
{
    CFMutableDictionaryRef original = makeTypeDictionary();
    CFDictionarySetValue(original, CFSTR("k"), CFSTR("v"));
    CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, original);
    EXPECT_TRUE(CFEqual(original, copy));
    CFDictionarySetValue(copy, CFSTR("k"), CFSTR("w"));
    EXPECT_FALSE(CFEqual(original, copy));
    EXPECT_EQ(CFDictionaryGetValue(original, CFSTR("k")), CFSTR("v"));
    CFRelease(copy);
    CFRelease(original);
}
