// Application preferences: the stored values and their file, and the preferred-language
// list, read from the locale variables as gettext reads them.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

// Unsets the variables, and puts the caller's values back at the end.
class SavedEnvironment
{
public:
    explicit SavedEnvironment(std::vector<const char*> names) : variables(std::move(names))
    {
        for (const char* name : variables)
        {
            if (const char* value = std::getenv(name))
                saved[name] = value;
            unsetenv(name);
        }
    }

    ~SavedEnvironment()
    {
        for (const char* name : variables)
        {
            unsetenv(name);
            if (saved.count(name) != 0)
                setenv(name, saved[name].c_str(), 1);
        }
    }

private:
    const std::vector<const char*> variables;
    std::map<std::string, std::string> saved;
};

// A configuration directory of the test's own.
class TemporaryDirectory
{
public:
    TemporaryDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "kvx-preferences-XXXXXX").string();
        path = mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~TemporaryDirectory() { fs::remove_all(path); }

    const fs::path& get() const { return path; }

private:
    fs::path path;
};

// Runs each test with only the locale variables it sets, and with a configuration
// directory of its own, and puts the caller's back.
class CFPreferencesTest : public ::testing::Test
{
protected:
    CFPreferencesTest() { setenv("XDG_CONFIG_HOME", configuration.get().c_str(), 1); }


    // The list's texts, or {"(null)"} when there is no list.
    static std::vector<std::string> preferredLanguages()
    {
        const auto value = CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
        if (value == nullptr)
            return { "(null)" };

        EXPECT_EQ(CFGetTypeID(value), CFArrayGetTypeID());
        std::vector<std::string> languages;
        const auto array = static_cast<CFArrayRef>(value);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
        {
            const auto language = static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i));
            EXPECT_EQ(CFGetTypeID(language), CFStringGetTypeID());
            char text[64] = {};
            CFStringGetCString(language, text, sizeof text, kCFStringEncodingUTF8);
            languages.push_back(text);
        }
        CFRelease(value);
        return languages;
    }

    using Languages = std::vector<std::string>;

private:
    SavedEnvironment locale { { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "XDG_CONFIG_HOME" } };
    // Stored preferences of the test program would otherwise come from the user's own directory.

protected:
    TemporaryDirectory configuration;
};

} // namespace

//==============================================================================
TEST_F(CFPreferencesTest, LocaleGivesItsLanguageWithoutCodesetOrModifier)
{
    setenv("LANG", "de_DE.UTF-8@euro", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "de_DE" }));
}

TEST_F(CFPreferencesTest, LanguageListComesFirstThenTheLocale)
{
    setenv("LANGUAGE", "fr:de_CH.ISO-8859-1@euro:en", 1);
    setenv("LANG", "it_IT.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "fr", "de_CH", "en", "it_IT" }));
}

TEST_F(CFPreferencesTest, FirstSetOfLcAllLcMessagesAndLangIsTheLocale)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    setenv("LC_MESSAGES", "es_ES.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "es_ES" }));

    setenv("LC_ALL", "", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "es_ES" })) << "an empty LC_ALL is not set";

    setenv("LC_ALL", "nl_NL", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "nl_NL" }));
}

// As in gettext, the portable locale shows untranslated messages whatever LANGUAGE says.
TEST_F(CFPreferencesTest, PortableOrMissingLocaleGivesNoList)
{
    EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << "nothing set";

    setenv("LANGUAGE", "fr", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << "LANGUAGE without a locale";

    for (const char* locale : { "C", "POSIX", "C.UTF-8" })
    {
        setenv("LANG", locale, 1);
        EXPECT_EQ(preferredLanguages(), (Languages { "(null)" })) << locale;
    }
}

TEST_F(CFPreferencesTest, EmptyPortableAndRepeatedEntriesAreLeftOut)
{
    setenv("LANGUAGE", ":de_DE::C:POSIX:de_DE.UTF-8:", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(), (Languages { "de_DE" }));
}

// Other systems name Chinese by script; Linux locales name it by region.
TEST_F(CFPreferencesTest, ChineseRegionsGainTheirScript)
{
    setenv("LANGUAGE", "zh_HK:zh_CN:zh_SG:zh_MO:zh", 1);
    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(preferredLanguages(),
              (Languages { "zh-Hant_HK", "zh-Hans_CN", "zh-Hans_SG", "zh-Hant_MO", "zh", "zh-Hant_TW" }));
}

TEST_F(CFPreferencesTest, OtherKeysHaveNoValue)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("SomethingElse"), kCFPreferencesCurrentApplication), nullptr);
    EXPECT_EQ(CFPreferencesCopyAppValue(nullptr, kCFPreferencesCurrentApplication), nullptr);
}

//==============================================================================
namespace
{
CFStringRef string(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

std::string textOf(CFTypeRef value)
{
    if (value == nullptr)
        return "(null)";
    const auto description = CFCopyDescription(value);
    char text[512] = {};
    CFStringGetCString(description, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(description);
    return text;
}

std::string contentsOf(const fs::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream contents;
    contents << stream.rdbuf();
    return contents.str();
}

void writeFile(const fs::path& file, const std::string& contents)
{
    std::ofstream(file, std::ios::binary) << contents;
}

// Stored preferences, seen through the public calls for one application.
class StoredPreferencesTest : public CFPreferencesTest
{
protected:
    ~StoredPreferencesTest() override { CFRelease(application); }

    fs::path fileOf(const char* identifier = "org.kvx.test") const
    {
        return configuration.get() / (std::string(identifier) + ".plist");
    }

    void set(const char* key, CFPropertyListRef value)
    {
        const auto name = string(key);
        CFPreferencesSetAppValue(name, value, application);
        CFRelease(name);
    }

    // The value's description, "(null)" without one.
    std::string valueOf(const char* key) const
    {
        const auto name = string(key);
        const auto value = CFPreferencesCopyAppValue(name, application);
        CFRelease(name);
        const auto text = textOf(value);
        if (value != nullptr)
            CFRelease(value);
        return text;
    }

    // The file's dictionary as the property-list reader sees it, null when it is not one.
    CFDictionaryRef readFile() const
    {
        const auto contents = contentsOf(fileOf());
        const auto data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(contents.data()),
                                       static_cast<CFIndex>(contents.size()));
        const auto list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr);
        CFRelease(data);
        if (list != nullptr && CFGetTypeID(list) != CFDictionaryGetTypeID())
        {
            CFRelease(list);
            return nullptr;
        }
        return static_cast<CFDictionaryRef>(list);
    }

    // What another process sees: a fresh directory that holds a copy of the file,
    // since this process keeps each file's contents once it has read them.
    void moveToFreshDirectoryWithTheFile()
    {
        const auto contents = contentsOf(fileOf());
        fresh = std::make_unique<TemporaryDirectory>();
        setenv("XDG_CONFIG_HOME", fresh->get().c_str(), 1);
        writeFile(fresh->get() / fileOf().filename(), contents);
    }

    std::vector<std::string> filesInConfiguration() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(configuration.get()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    const CFStringRef application = string("org.kvx.test");
    std::unique_ptr<TemporaryDirectory> fresh;
};

// Every type a property list holds, nested, with text that XML has to escape.
CFDictionaryRef makeEveryKindOfValue()
{
    const auto dictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                      &kCFTypeDictionaryValueCallBacks);
    auto add = [&](const char* key, CFTypeRef value) {
        const auto name = string(key);
        CFDictionarySetValue(dictionary, name, value);
        CFRelease(name);
        CFRelease(value);
    };
    add("text", string("<a & b>\r\n\t\"quoted\" é 漢 🎛"));
    add("empty text", string(""));
    add("blanks", string("  "));
    const int64_t smallest = INT64_MIN, largest = INT64_MAX, negative = -536870212;
    add("smallest", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &smallest));
    add("largest", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &largest));
    add("negative", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &negative));
    const double tenth = 0.1, tiny = 5e-324, minusInfinity = -HUGE_VAL;
    add("tenth", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &tenth));
    add("tiny", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &tiny));
    add("minus infinity", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &minusInfinity));
    add("yes", CFRetain(kCFBooleanTrue));
    add("no", CFRetain(kCFBooleanFalse));
    std::vector<UInt8> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<UInt8>(i);
    add("all bytes", CFDataCreate(kCFAllocatorDefault, bytes.data(), 256));
    add("one byte", CFDataCreate(kCFAllocatorDefault, bytes.data() + 255, 1));
    add("epoch", CFDateCreate(kCFAllocatorDefault, -kCFAbsoluteTimeIntervalSince1970));
    add("leap day", CFDateCreate(kCFAllocatorDefault, 99791999.0)); // 2004-02-29 23:59:59
    const auto copy = CFDictionaryCreateCopy(kCFAllocatorDefault, dictionary);
    const void* inner[] = { copy };
    add("nested", CFArrayCreate(kCFAllocatorDefault, inner, 1, &kCFTypeArrayCallBacks));
    CFRelease(copy);
    add("empty array", CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks));
    return dictionary;
}
} // namespace

//==============================================================================
// Faults guarded against: values lost or changed on their way through the file.

TEST_F(StoredPreferencesTest, EveryKindOfValueComesBackFromTheFileAsItWasStored)
{
    const auto values = makeEveryKindOfValue();
    set("everything", values);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));

    moveToFreshDirectoryWithTheFile();
    const auto name = string("everything");
    const auto readBack = CFPreferencesCopyAppValue(name, application);
    EXPECT_TRUE(readBack != nullptr && CFEqual(readBack, values))
        << "read back: " << textOf(readBack) << "\nstored: " << textOf(values) << "\nfile:\n" << contentsOf(fileOf());
    CFRelease(name);
    if (readBack != nullptr)
        CFRelease(readBack);
    CFRelease(values);
}

TEST_F(StoredPreferencesTest, ChangesAreSeenAtOnceAndReachTheFileOnSynchronize)
{
    set("gone", kCFBooleanTrue);
    set("kept", kCFBooleanFalse);
    EXPECT_EQ(valueOf("gone"), "true");
    EXPECT_FALSE(fs::exists(fileOf())) << "written before synchronising";
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));

    set("gone", nullptr);
    EXPECT_EQ(valueOf("gone"), "(null)");
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    const auto stored = readFile();
    ASSERT_NE(stored, nullptr) << contentsOf(fileOf());
    EXPECT_FALSE(CFDictionaryContainsKey(stored, CFSTR("gone")));
    EXPECT_EQ(textOf(CFDictionaryGetValue(stored, CFSTR("kept"))), "false");
    CFRelease(stored);
}

TEST_F(StoredPreferencesTest, SynchronizeKeepsWhatAnotherProcessWroteMeanwhile)
{
    EXPECT_EQ(valueOf("theirs"), "(null)");
    writeFile(fileOf(), "<plist version=\"1.0\"><dict><key>theirs</key><integer>7</integer>"
                        "<key>mine</key><integer>1</integer></dict></plist>");
    const int two = 2;
    const auto number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &two);
    set("mine", number);
    CFRelease(number);

    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    EXPECT_EQ(valueOf("theirs"), "7");
    EXPECT_EQ(valueOf("mine"), "2");
    const auto stored = readFile();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(textOf(CFDictionaryGetValue(stored, CFSTR("theirs"))), "7");
    EXPECT_EQ(textOf(CFDictionaryGetValue(stored, CFSTR("mine"))), "2");
    CFRelease(stored);
}

TEST_F(StoredPreferencesTest, WithoutXdgConfigHomeTheFileLiesInHomeDotConfig)
{
    SavedEnvironment home({ "HOME" });
    setenv("HOME", configuration.get().c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    set("where", kCFBooleanTrue);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    EXPECT_TRUE(fs::exists(configuration.get() / ".config" / "org.kvx.test.plist"));
}

//==============================================================================
// Faults guarded against: a half-written, unreadable or misplaced file.

TEST_F(StoredPreferencesTest, AFullDiskLeavesTheOldFileWholeAndTheChangesForTheNextTry)
{
    set("small", kCFBooleanTrue);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    const auto before = contentsOf(fileOf());
    const auto large = string(std::string(100000, 'x').c_str());
    set("large", large);
    CFRelease(large);

    // A file size limit fails writes the way a full disk does.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool written = CFPreferencesAppSynchronize(application);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(contentsOf(fileOf()), before);
    EXPECT_EQ(filesInConfiguration(), std::vector<std::string> { "org.kvx.test.plist" }) << "a temporary file stayed";
    EXPECT_NE(valueOf("large"), "(null)");

    EXPECT_TRUE(CFPreferencesAppSynchronize(application));
    const auto stored = readFile();
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(CFDictionaryContainsKey(stored, CFSTR("large")));
    CFRelease(stored);
}

// A hand edit with a typo, or a value other readers take and this one refuses:
// the file reads empty, and the next write must not take its keys with it.
TEST_F(StoredPreferencesTest, AFileThatIsNoPropertyListIsKeptBesideTheNextWrite)
{
    const std::string cutOff = "<plist version=\"1.0\"><dict><key>cut off</key><str";
    writeFile(fileOf(), cutOff);
    EXPECT_EQ(valueOf("cut off"), "(null)");

    set("fresh", kCFBooleanTrue);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    const auto kept = fileOf().string() + ".unreadable";
    EXPECT_NE(testing::internal::GetCapturedStderr().find(kept), std::string::npos) << "not told where it went";
    EXPECT_EQ(contentsOf(kept), cutOff);
    const auto stored = readFile();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(stored), 1);
    CFRelease(stored);

    const std::string tooLarge = "<plist><dict><key>n</key><integer>9223372036854775808</integer></dict></plist>";
    writeFile(fileOf(), tooLarge);
    set("fresh", kCFBooleanFalse);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    EXPECT_EQ(contentsOf(kept), cutOff) << "the earlier copy was overwritten";
    EXPECT_EQ(contentsOf(kept + ".1"), tooLarge);
    EXPECT_EQ(valueOf("fresh"), "false");
}

// Only a missing file is empty: taken as empty, one that is there but cannot
// be read would lose its keys to the next write.
TEST_F(StoredPreferencesTest, AFileThatCannotBeReadFailsTheSynchronizeAndStaysAsItWas)
{
    set("keepme", kCFBooleanTrue);
    set("other", kCFBooleanFalse);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));
    // Over the size limit, the file is not read at all.
    fs::resize_file(fileOf(), 16 * 1024 * 1024 + 1);
    const auto unreadable = contentsOf(fileOf());

    set("new", kCFBooleanTrue);
    EXPECT_FALSE(CFPreferencesAppSynchronize(application));
    EXPECT_TRUE(contentsOf(fileOf()) == unreadable) << "the file was replaced";

    // A link to itself fails to open (ELOOP) as an unreadable file does (EACCES, not for root).
    fs::remove(fileOf());
    fs::create_symlink(fileOf().filename(), fileOf());
    EXPECT_FALSE(CFPreferencesAppSynchronize(application));
    EXPECT_TRUE(fs::is_symlink(fileOf())) << "the file was replaced";
}

// One bad key or value must not make every later write of the application fail.
TEST_F(StoredPreferencesTest, KeysAndValuesAFileCannotHoldAreIgnored)
{
    set("control \x01 key", kCFBooleanTrue);
    EXPECT_EQ(valueOf("control \x01 key"), "(null)");
    set("key", kCFBooleanTrue);
    const auto control = string("bell \a");
    set("key", control);
    CFRelease(control);
    const auto set = CFSetCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeSetCallBacks);
    this->set("key", set);
    CFRelease(set);
    CFTypeRef deep = CFRetain(kCFBooleanTrue);
    for (int level = 0; level < 150; ++level)
    {
        const void* values[] = { deep };
        const auto array = CFArrayCreate(kCFAllocatorDefault, values, 1, &kCFTypeArrayCallBacks);
        CFRelease(deep);
        deep = array;
    }
    this->set("key", deep);
    CFRelease(deep);

    EXPECT_EQ(valueOf("key"), "true");
    EXPECT_TRUE(CFPreferencesAppSynchronize(application));
}

TEST_F(StoredPreferencesTest, AnIdentifierThatCannotNameAFileKeepsItsValuesInMemoryOnly)
{
    const auto escaping = string("../escaped");
    CFPreferencesSetAppValue(CFSTR("key"), kCFBooleanTrue, escaping);
    const auto value = CFPreferencesCopyAppValue(CFSTR("key"), escaping);
    EXPECT_EQ(textOf(value), "true");
    EXPECT_FALSE(CFPreferencesAppSynchronize(escaping));
    EXPECT_FALSE(fs::exists(configuration.get().parent_path() / "escaped.plist"));
    if (value != nullptr)
        CFRelease(value);
    CFRelease(escaping);
}

//==============================================================================
// Fault guarded against: the environment overriding the application's own choice of languages.

TEST_F(CFPreferencesTest, AnApplicationsOwnLanguageListComesBeforeTheEnvironment)
{
    setenv("LANG", "de_DE.UTF-8", 1);
    const auto french = string("fr");
    const void* values[] = { french };
    const auto own = CFArrayCreate(kCFAllocatorDefault, values, 1, &kCFTypeArrayCallBacks);
    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), own, kCFPreferencesCurrentApplication);
    EXPECT_EQ(preferredLanguages(), (Languages { "fr" }));

    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), nullptr, kCFPreferencesCurrentApplication);
    EXPECT_EQ(preferredLanguages(), (Languages { "de_DE" }));
    CFRelease(own);
    CFRelease(french);
}
