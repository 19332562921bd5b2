// Element configuration: movement detection, preference entries, the scoring
// search and the 44-byte records.
#include "ElementDeviceList.h"
#include "EveryElementType.h"
#include "HID_Config_Utilities.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <pthread.h>
#include <thread>
#include <time.h>

namespace
{
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// An X axis of 16 bits, logical 0..1000, physical 0..100: logical 400 reads 40.0.
const Bytes percentAxis = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,                   // Generic Desktop, Joystick, Collection (Application)
    0x15, 0x00, 0x26, 0xE8, 0x03, 0x35, 0x00, 0x45, 0x64, //   Logical 0..1000, Physical 0..100
    0x75, 0x10, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02,       //   X: 16 bits, Input (Variable)
    0xC0,
};

// Controls that detection never watches: a button array of one slot, a
// keyboard array of two slots and a variable on the reserved usage page 0x0F.
const Bytes unwatchedControls = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x03, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00,
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x25, 0x65, 0x95, 0x02, 0x81, 0x00,
    0x05, 0x0F, 0x09, 0x21, 0x26, 0xFF, 0x00, 0x95, 0x01, 0x81, 0x02,
    0xC0,
};

Bytes axisReport(int logical)
{
    return { static_cast<uint8_t>(logical & 0xFF), static_cast<uint8_t>(logical >> 8) };
}

// Injects a report from another thread once the calling thread has used 20 ms
// of processor time from now on. Detection polls without sleeping, so by then
// its first pass, which takes microseconds, has set the baselines: the report
// lands in a later pass however loaded the machine is.
class LateReport
{
public:
    LateReport(platform::virtualhid::Device& device, Bytes report)
    {
        pthread_getcpuclockid(pthread_self(), &callerClock);
        const double due = callerTime() + 0.020;
        injector = std::thread([this, &device, report, due] {
            while (!cancelled && callerTime() < due)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!cancelled)
                device.injectInput(report);
        });
    }

    ~LateReport()
    {
        cancelled = true;
        injector.join();
    }

private:
    double callerTime() const
    {
        timespec now {};
        clock_gettime(callerClock, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }

    clockid_t callerClock {};
    std::atomic<bool> cancelled { false };
    std::thread injector;
};

class ElementConfiguration : public ElementDeviceList
{
protected:
    // Attaches a device that names its vendor, product, location and usage, rebuilds the list and returns it.
    IOHIDDeviceRef attachIdentified(const Bytes& descriptor, long vendor, long product, long long location,
                                    long usagePage = 1, long usage = 4)
    {
        platform::virtualhid::Properties properties;
        properties.setNumber(kIOHIDVendorIDKey, vendor).setNumber(kIOHIDProductIDKey, product);
        properties.setNumber(kIOHIDLocationIDKey, location);
        properties.setNumber(kIOHIDDeviceUsagePageKey, usagePage).setNumber(kIOHIDDeviceUsageKey, usage);
        attachDescribed(descriptor, properties);
        return deviceAt(location);
    }

    static IOHIDDeviceRef deviceAt(long long location)
    {
        for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
            if (IOHIDDevice_GetLocationID(device) == static_cast<long>(static_cast<uint32_t>(location)))
                return device;
        return nullptr;
    }

    static IOHIDElementRef elementAt(IOHIDDeviceRef device, size_t index) { return allElements(device).at(index); }

    // What the outputs held is overwritten: these mark "untouched".
    IOHIDDeviceRef foundDevice = reinterpret_cast<IOHIDDeviceRef>(&foundDevice);
    IOHIDElementRef foundElement = reinterpret_cast<IOHIDElementRef>(&foundElement);
};

//==============================================================================
// Faults guarded against: a threshold off by one, a move reported in the
// baseline pass, controls that cannot be moved taken for moved.

using MovementDetection = ElementConfiguration;

TEST_F(MovementDetection, AnAxisMovedByTenPercentOfItsPhysicalRangeIsFound)
{
    const IOHIDDeviceRef device = attachIdentified(percentAxis, 1, 2, 3);
    devices.back()->injectInput(axisReport(400));
    ASSERT_TRUE(waitForValue(elementAt(device, 1), 40.0));
    HIDReleaseDeviceList();

    LateReport move(*devices.back(), axisReport(500));
    EXPECT_TRUE(HIDConfigureAction(&foundDevice, &foundElement, 10.0f)) << "the list is built when missing";
    ASSERT_TRUE(HIDHaveDeviceList());
    EXPECT_EQ(foundDevice, HIDGetFirstDevice());
    EXPECT_EQ(foundElement, elementAt(HIDGetFirstDevice(), 1));
}

TEST_F(MovementDetection, AnAxisMovedByLessThanTenPercentIsNot)
{
    const IOHIDDeviceRef device = attachIdentified(percentAxis, 1, 2, 3);
    devices.back()->injectInput(axisReport(400));
    ASSERT_TRUE(waitForValue(elementAt(device, 1), 40.0));
    {
        LateReport move(*devices.back(), axisReport(499));
        EXPECT_FALSE(HIDConfigureAction(&foundDevice, &foundElement, 0.3f));
    }
    EXPECT_EQ(foundDevice, nullptr);
    EXPECT_EQ(foundElement, nullptr);
    EXPECT_TRUE(waitForValue(elementAt(device, 1), 49.0)) << "the move to 49.9 came";
}

TEST_F(MovementDetection, ArraysAndTheReservedUsagePageNeverCount)
{
    const IOHIDDeviceRef device = attachIdentified(unwatchedControls, 1, 2, 3);
    const auto elements = allElements(device);
    ASSERT_EQ(elements.size(), 1u + 3u + 102u + 1u);
    EXPECT_EQ(IOHIDElementGetReportCount(elements[4]), 2u);
    EXPECT_EQ(IOHIDElementGetUsagePage(elements.back()), 0x0Fu);
    {
        LateReport move(*devices.back(), { 2, 4, 5, 200 });
        EXPECT_FALSE(HIDConfigureAction(&foundDevice, &foundElement, 0.3f));
    }
    EXPECT_TRUE(waitForValue(elements.back(), 200.0)) << "the controls did move";
}

TEST_F(MovementDetection, ALimitShorterThanTheFirstPassEndsAfterIt)
{
    attachIdentified(percentAxis, 1, 2, 3);
    EXPECT_FALSE(HIDConfigureAction(&foundDevice, &foundElement, -1.0f));
    EXPECT_EQ(foundDevice, nullptr);
    EXPECT_EQ(foundElement, nullptr);
}

TEST_F(MovementDetection, OnOneDeviceAMoveIsMoreThanTenPercentOfTheLogicalRange)
{
    const IOHIDDeviceRef device = attachIdentified(everyElementType, 1, 2, 3);
    devices.back()->injectInput({ 0, 100, 0, 0 });
    ASSERT_TRUE(waitForValue(elementAt(device, xAxis), 100.0));
    {
        LateReport move(*devices.back(), { 0, 125, 0, 0 });
        EXPECT_FALSE(HIDConfigureSingleDeviceAction(device, &foundElement, 0.3f)) << "25 of 0..255 is within";
        EXPECT_EQ(foundElement, nullptr);
    }
    ASSERT_TRUE(waitForValue(elementAt(device, xAxis), 125.0));
    LateReport move(*devices.back(), { 0, 151, 0, 0 });
    EXPECT_TRUE(HIDConfigureSingleDeviceAction(device, &foundElement, 10.0f)) << "26 moves";
    EXPECT_EQ(foundElement, elementAt(device, xAxis));
}

//==============================================================================
// Faults guarded against: an entry that does not find its device again (a
// location of 2^31 or more above all), malformed entries kept or lost wrongly.

class ElementPreferences : public ElementConfiguration
{
protected:
    void SetUp() override
    {
        ElementConfiguration::SetUp();
        if (const char* configured = std::getenv("XDG_CONFIG_HOME"))
            savedConfiguration = configured;
        directory = makeDirectory();
        setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
    }

    void TearDown() override
    {
        if (savedConfiguration)
            setenv("XDG_CONFIG_HOME", savedConfiguration->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        for (const auto& made : { directory, otherDirectory })
            if (!made.empty())
                fs::remove_all(made);
        ElementConfiguration::TearDown();
    }

    static fs::path makeDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "kvx-elements-XXXXXX").string();
        return mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    }

    // Another process's view: a fresh directory with a copy of the file, which this
    // process has not read yet.
    void readFromTheFileAgain()
    {
        otherDirectory = makeDirectory();
        fs::copy_file(directory / "org.kvx.elements.plist", otherDirectory / "org.kvx.elements.plist");
        setenv("XDG_CONFIG_HOME", otherDirectory.c_str(), 1);
    }

    std::string storedText() const
    {
        const auto value = CFPreferencesCopyAppValue(CFSTR("axis"), application);
        if (value == nullptr)
            return "(null)";
        char text[256] = "(not text)";
        if (CFGetTypeID(value) == CFStringGetTypeID())
            CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingUTF8);
        CFRelease(value);
        return text;
    }

    void store(CFPropertyListRef value) { CFPreferencesSetAppValue(CFSTR("axis"), value, application); }

    const CFStringRef application = CFSTR("org.kvx.elements");
    std::optional<std::string> savedConfiguration;
    fs::path directory, otherDirectory;
};

TEST_F(ElementPreferences, AnEntryFindsTheDeviceWithTheTopBitLocationAgainThroughItsFile)
{
    attachIdentified(percentAxis, 0x1234, 0x5678, 0x00001234);
    const IOHIDDeviceRef device = attachIdentified(percentAxis, 0x1234, 0x5678, 0x80001234);
    ASSERT_EQ(HIDGetNextDevice(HIDGetFirstDevice()), device) << "listed second, found only by its location";

    ASSERT_TRUE(HIDSaveElementPref(CFSTR("axis"), application, device, elementAt(device, 1)));
    EXPECT_EQ(storedText(), "d:{v:4660, p:22136, l:2147488308, p:1, u:4}, e:{p:1, u:48, c:2}");
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));

    readFromTheFileAgain();
    ASSERT_TRUE(HIDRestoreElementPref(CFSTR("axis"), application, &foundDevice, &foundElement));
    EXPECT_EQ(foundDevice, device);
    EXPECT_EQ(foundElement, elementAt(device, 1));
}

TEST_F(ElementPreferences, ATextWithoutTheCookieIsRefusedAndKept)
{
    attachIdentified(percentAxis, 1, 2, 3);
    store(CFSTR("d:{v:1, p:2, l:3, p:1, u:4}, e:{p:1, u:48}"));
    EXPECT_FALSE(HIDRestoreElementPref(CFSTR("axis"), application, &foundDevice, &foundElement));
    EXPECT_EQ(storedText(), "d:{v:1, p:2, l:3, p:1, u:4}, e:{p:1, u:48}");
}

TEST_F(ElementPreferences, ANumberInsteadOfATextIsRemoved)
{
    attachIdentified(percentAxis, 1, 2, 3);
    const int seven = 7;
    const auto number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &seven);
    store(number);
    CFRelease(number);
    ASSERT_TRUE(CFPreferencesAppSynchronize(application));

    EXPECT_FALSE(HIDRestoreElementPref(CFSTR("axis"), application, &foundDevice, &foundElement));
    EXPECT_EQ(storedText(), "(null)");
    readFromTheFileAgain();
    EXPECT_EQ(storedText(), "(null)") << "removed from the file too";
}

//==============================================================================
// Faults guarded against: a search that prefers the wrong device, or a later
// one on a tie.

using ScoringSearch = ElementConfiguration;

TEST_F(ScoringSearch, ATiedScoreGoesToTheEarlierDeviceAndTheVendorBreaksTheTie)
{
    const IOHIDDeviceRef first = attachIdentified(percentAxis, 1, 2, 10);
    const IOHIDDeviceRef second = attachIdentified(percentAxis, 5, 6, 20);
    ElementConfigRecord record {};
    record.vendorID = 9;
    record.elementUsagePage = 1;
    record.elementUsage = 0x30;
    ASSERT_TRUE(HIDFindDeviceAndElement(&record, &foundDevice, &foundElement)) << "usage alone scores 6";
    EXPECT_EQ(foundDevice, first);
    EXPECT_EQ(foundElement, elementAt(first, 1));

    record.vendorID = 5;
    ASSERT_TRUE(HIDFindDeviceAndElement(&record, &foundDevice, &foundElement));
    EXPECT_EQ(foundDevice, second);

    record.elementUsage = 0x31;
    EXPECT_FALSE(HIDFindDeviceAndElement(&record, &foundDevice, &foundElement)) << "no element has that usage";
    EXPECT_EQ(foundDevice, second) << "untouched";
}

//==============================================================================
// Faults guarded against: a record that changes on its way through a file, is
// read past its end or completed with anything but zeros when short, or applied
// to the wrong device.

class ElementRecords : public ElementConfiguration
{
protected:
    void SetUp() override
    {
        ElementConfiguration::SetUp();
        other = attachIdentified(percentAxis, 0x1234, 0x5678, 0x00001234);
        device = attachIdentified(percentAxis, 0x1234, 0x5678, 0x80001234);
        axis = elementAt(device, 1);
        file = std::tmpfile();
        ASSERT_NE(file, nullptr);
    }

    void TearDown() override
    {
        std::fclose(file);
        ElementConfiguration::TearDown();
    }

    IOHIDDeviceRef other = nullptr;
    IOHIDDeviceRef device = nullptr;
    IOHIDElementRef axis = nullptr;
    FILE* file = nullptr;
};

TEST_F(ElementRecords, ARecordComesBackThroughAFileAndRestoresTheSaturation)
{
    IOHIDElement_SetCalibrationSaturationMin(axis, 10);
    IOHIDElement_SetCalibrationSaturationMax(axis, 900);
    HIDSaveElementConfig(file, device, axis, -77);
    EXPECT_EQ(std::ftell(file), 44);

    IOHIDElement_SetupCalibration(axis);
    std::rewind(file);
    EXPECT_EQ(HIDRestoreElementConfig(file, &foundDevice, &foundElement), -77);
    EXPECT_EQ(foundDevice, device) << "found by its location, 0x80001234";
    EXPECT_EQ(foundElement, axis);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(axis), 10);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(axis), 900);
}

TEST_F(ElementRecords, AShortRecordReadsItsMissingEndAsZeros)
{
    IOHIDElement_SetCalibrationSaturationMin(axis, 10);
    IOHIDElement_SetCalibrationSaturationMax(axis, 900);
    HIDSaveElementConfig(file, device, axis, 5);
    std::rewind(file);
    char bytes[44];
    ASSERT_EQ(std::fread(bytes, 1, sizeof bytes, file), 44u);
    FILE* shortFile = std::tmpfile();
    // Cut after the element's usage: the saturation range and the cookie are missing.
    std::fwrite(bytes, 1, offsetof(ElementConfigRecord, minReport), shortFile);
    std::rewind(shortFile);
    EXPECT_EQ(HIDRestoreElementConfig(shortFile, &foundDevice, &foundElement), 5);
    EXPECT_EQ(foundDevice, device);
    EXPECT_EQ(foundElement, axis) << "cookie 0 names no element, so its usage finds it";
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(axis), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(axis), 0);
    std::fclose(shortFile);
}

TEST_F(ElementRecords, ADeviceIsSearchedOnlyWithLocationVendorAndProduct)
{
    ElementConfigRecord record;
    HIDSetElementConfig(&record, device, axis, 3);

    ElementConfigRecord noDevice = record;
    noDevice.locationID = noDevice.vendorID = noDevice.productID = noDevice.usagePage = noDevice.usage = 0;
    EXPECT_EQ(HIDGetElementConfig(&noDevice, &foundDevice, &foundElement), 3);
    EXPECT_EQ(foundDevice, nullptr);
    EXPECT_EQ(foundElement, nullptr);

    ElementConfigRecord noLocation = record;
    noLocation.locationID = 0;
    HIDGetElementConfig(&noLocation, &foundDevice, &foundElement);
    EXPECT_EQ(foundDevice, nullptr);

    ElementConfigRecord moved = record;
    moved.locationID = 0x4444;
    HIDGetElementConfig(&moved, &foundDevice, &foundElement);
    EXPECT_EQ(foundDevice, other) << "the first device of that vendor and product";
    EXPECT_EQ(foundElement, elementAt(other, 1));
}

} // namespace
