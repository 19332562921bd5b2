// XML property lists: every value type read exactly, every malformed or
// hostile document refused without harm.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{
std::string plist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">"
           + body + "</plist>\n";
}

// Parses xml; the result (or null) is the caller's.
CFPropertyListRef parse(const std::string& xml, CFOptionFlags mutability = kCFPropertyListImmutable)
{
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()),
                                  static_cast<CFIndex>(xml.size()));
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, mutability, &error);
    EXPECT_EQ(list == nullptr, error != nullptr) << "an error string comes exactly with a failure";
    if (error != nullptr)
        CFRelease(error);
    CFRelease(data);
    return list;
}

std::string textOf(CFTypeRef string)
{
    if (string == nullptr || CFGetTypeID(string) != CFStringGetTypeID())
        return "<not a string>";
    return CFStringGetCStringPtr(static_cast<CFStringRef>(string), kCFStringEncodingUTF8);
}

long long integerOf(CFTypeRef number)
{
    long long value = -1;
    if (number == nullptr || CFGetTypeID(number) != CFNumberGetTypeID())
        return value;
    CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberLongLongType, &value);
    return value;
}

CFTypeRef at(CFTypeRef dictionary, const char* key)
{
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dictionary), name);
    CFRelease(name);
    return value;
}

// The single value of <plist>, as its description, or "null".
std::string describeOnly(const std::string& body)
{
    CFPropertyListRef list = parse(plist(body));
    if (list == nullptr)
        return "null";
    CFStringRef description = CFCopyDescription(list);
    std::string text = CFStringGetCStringPtr(description, kCFStringEncodingUTF8);
    CFRelease(description);
    CFRelease(list);
    return text;
}

double absoluteTimeOf(const std::string& date)
{
    CFPropertyListRef list = parse(plist("<date>" + date + "</date>"));
    if (list == nullptr || CFGetTypeID(list) != CFDateGetTypeID())
        return NAN;
    const double time = CFDateGetAbsoluteTime(static_cast<CFDateRef>(list));
    CFRelease(list);
    return time;
}
} // namespace

//==============================================================================
// Faults guarded against: a value of the wrong type, lost text, a number or date
// read with the wrong sign, base or epoch.

TEST(CFPropertyListValues, ReadsNestedDictionariesArraysAndScalars)
{
    CFPropertyListRef list = parse(plist(R"(
        <dict>
            <key>1133</key>
            <dict>
                <key>Name</key><string>Maker &amp; Sons &#x2014; 日本</string>
                <key>Pages</key><array><integer>1</integer><integer>-12</integer><integer>0xFF00</integer></array>
                <key>Scale</key><real>-2.5e3</real>
                <key>On</key><true/>
                <key>Off</key><false/>
                <key>Empty</key><string/>
            </dict>
        </dict>)"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(CFGetTypeID(list), CFDictionaryGetTypeID());
    CFTypeRef vendor = at(list, "1133");
    ASSERT_NE(vendor, nullptr);
    EXPECT_EQ(textOf(at(vendor, "Name")), "Maker & Sons \u2014 日本");
    EXPECT_EQ(textOf(at(vendor, "Empty")), "");
    auto pages = static_cast<CFArrayRef>(at(vendor, "Pages"));
    ASSERT_EQ(CFArrayGetCount(pages), 3);
    EXPECT_EQ(integerOf(CFArrayGetValueAtIndex(pages, 0)), 1);
    EXPECT_EQ(integerOf(CFArrayGetValueAtIndex(pages, 1)), -12);
    EXPECT_EQ(integerOf(CFArrayGetValueAtIndex(pages, 2)), 0xFF00);
    double scale = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(at(vendor, "Scale")), kCFNumberDoubleType, &scale);
    EXPECT_EQ(scale, -2500.0);
    EXPECT_EQ(at(vendor, "On"), kCFBooleanTrue);
    EXPECT_EQ(at(vendor, "Off"), kCFBooleanFalse);
    CFRelease(list);
}

TEST(CFPropertyListValues, IntegersSpanTheSigned64BitRangeAndNoFurther)
{
    EXPECT_EQ(describeOnly("<integer>9223372036854775807</integer>"), "9223372036854775807");
    EXPECT_EQ(describeOnly("<integer>-9223372036854775808</integer>"), "-9223372036854775808");
    EXPECT_EQ(describeOnly("<integer> 42 </integer>"), "42");
    EXPECT_EQ(describeOnly("<integer>9223372036854775808</integer>"), "null");
    EXPECT_EQ(describeOnly("<integer>12abc</integer>"), "null");
    EXPECT_EQ(describeOnly("<integer>--1</integer>"), "null");
    EXPECT_EQ(describeOnly("<integer></integer>"), "null");
}

TEST(CFPropertyListValues, DataIsBase64AcrossLinesAndRefusesOtherText)
{
    CFPropertyListRef data = parse(plist("<data>\n\tAAEC\n\t/w==\n</data>"));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(CFGetTypeID(data), CFDataGetTypeID());
    const auto* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    ASSERT_EQ(CFDataGetLength(static_cast<CFDataRef>(data)), 4);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(bytes[2], 0x02);
    EXPECT_EQ(bytes[3], 0xFF);
    CFRelease(data);

    EXPECT_EQ(describeOnly("<data>QUJD*A==</data>"), "null");
    EXPECT_EQ(describeOnly("<data>QUJDR</data>"), "null");
    EXPECT_EQ(describeOnly("<data>QQ==QQ==</data>"), "null");
}

TEST(CFPropertyListValues, DatesCountSecondsFrom2001InUTC)
{
    EXPECT_EQ(absoluteTimeOf("2001-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(absoluteTimeOf("1970-01-01T00:00:00Z"), -978307200.0);
    EXPECT_EQ(absoluteTimeOf("2024-02-29T12:30:15Z"), 730902615.0);
    EXPECT_TRUE(std::isnan(absoluteTimeOf("2023-02-29T00:00:00Z")));
    EXPECT_TRUE(std::isnan(absoluteTimeOf("2024-13-01T00:00:00Z")));
    EXPECT_TRUE(std::isnan(absoluteTimeOf("2024-01-01 00:00:00Z")));
    EXPECT_TRUE(std::isnan(absoluteTimeOf("2024-01-01T00:00:00")));
}

//==============================================================================
// Faults guarded against: a broken document taken for a list, or a hostile one
// that expands, loads files or overflows the stack.

TEST(CFPropertyListRefusal, MalformedStructureGivesNullAndAReason)
{
    const char* broken[] = {
        "<dict><key>a</key></dict>",               // a key without its value
        "<dict><string>a</string></dict>",         // a value without its key
        "<array>text<true/></array>",              // text between values
        "<integer>1</integer><integer>2</integer>", // two values in <plist>
        "",                                        // no value at all
        "<color>red</color>",                      // no such element
        "<string><b>x</b></string>",               // an element inside a scalar
        "<true>yes</true>",
        "<real>1,5</real>",
    };
    for (const char* body : broken)
        EXPECT_EQ(describeOnly(body), "null") << body;
    EXPECT_EQ(parse("<plist><dict></plist>"), nullptr);
    EXPECT_EQ(parse("not XML at all"), nullptr);
    EXPECT_EQ(parse(""), nullptr);
}

TEST(CFPropertyListRefusal, EntitiesAreNeitherExpandedNorLoaded)
{
    const std::string laughs = R"(<?xml version="1.0"?>
<!DOCTYPE plist [
  <!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
  <!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
  <!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
  <!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
  <!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">
]>
<plist version="1.0"><string>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</string></plist>)";
    EXPECT_EQ(parse(laughs), nullptr);

    const std::string external = R"(<?xml version="1.0"?>
<!DOCTYPE plist [ <!ENTITY secret SYSTEM "file:///etc/hostname"> ]>
<plist version="1.0"><string>&secret;</string></plist>)";
    EXPECT_EQ(parse(external), nullptr);
}

// A byte outside the declared encoding: libxml2 raises that error outside the
// parse's own handlers, and must neither print it nor lose it.
TEST(CFPropertyListRefusal, AnEncodingErrorIsReportedToTheCallerAndNotPrinted)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><plist><string>\xff\xff</string></plist>";
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()),
                                  static_cast<CFIndex>(xml.size()));
    CFStringRef error = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &error), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(textOf(error).find("conversion failed"), std::string::npos) << textOf(error);
    if (error != nullptr)
        CFRelease(error);
    CFRelease(data);
}

TEST(CFPropertyListRefusal, DeepNestingEndsInNullRatherThanAStackOverflow)
{
    std::string body;
    for (int level = 0; level < 100000; ++level)
        body += "<array>";
    for (int level = 0; level < 100000; ++level)
        body += "</array>";
    EXPECT_EQ(parse(plist(body)), nullptr);
}

//==============================================================================
// Fault guarded against: the mutability option ignored, so that a caller asking
// for mutable containers gets one it may not change.

TEST(CFPropertyListMutability, MutableContainersMayBeChanged)
{
    CFPropertyListRef list = parse(plist("<dict><key>a</key><array/></dict>"), kCFPropertyListMutableContainers);
    ASSERT_NE(list, nullptr);
    auto array = static_cast<CFMutableArrayRef>(const_cast<void*>(at(list, "a")));
    CFArrayAppendValue(array, kCFBooleanTrue);
    CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(list)), CFSTR("b"), kCFBooleanFalse);
    EXPECT_EQ(CFArrayGetCount(array), 1);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 2);
    CFRelease(list);
}
