#include "HidrawProperties.h"

#include "IOKit/HIDReportDescriptor.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>
#include <IOKit/hid/IOHIDKeys.h>

namespace platform::hidraw
{

namespace
{
// Registry numbers are 32-bit: a LocationID with its top bit set is stored as
// the negative number with the same bits, as the platform stores it.
Retained<CFNumberRef> createNumber(uint32_t value)
{
    const auto bits = static_cast<SInt32>(value);
    return Retained<CFNumberRef>::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &bits));
}

void setValue(CFMutableDictionaryRef dictionary, CFStringRef key, CFTypeRef value)
{
    if (value != nullptr)
        CFDictionarySetValue(dictionary, key, value);
}

void setNumber(CFMutableDictionaryRef dictionary, CFStringRef key, const std::optional<uint32_t>& value)
{
    if (value)
        setValue(dictionary, key, createNumber(*value).get());
}

// Text that is not UTF-8 has no CFString: the property is left out.
void setString(CFMutableDictionaryRef dictionary, CFStringRef key, const std::optional<std::string>& value)
{
    if (! value)
        return;
    const auto text = Retained<CFStringRef>::adopt(
        CFStringCreateWithCString(kCFAllocatorDefault, value->c_str(), kCFStringEncodingUTF8));
    setValue(dictionary, key, text.get());
}

Retained<CFMutableDictionaryRef> createDictionary()
{
    return Retained<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

Retained<CFArrayRef> createUsagePairs(const std::vector<HIDUsagePair>& pairs)
{
    auto array = Retained<CFMutableArrayRef>::adopt(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (const auto& pair : pairs)
    {
        auto entry = createDictionary();
        setNumber(entry.get(), CFSTR(kIOHIDDeviceUsagePageKey), pair.usagePage);
        setNumber(entry.get(), CFSTR(kIOHIDDeviceUsageKey), pair.usage);
        CFArrayAppendValue(array.get(), entry.get());
    }
    return Retained<CFArrayRef>::retain(array.get());
}

void setDescriptorProperties(CFMutableDictionaryRef dictionary, const std::vector<uint8_t>& bytes)
{
    const auto descriptor = HIDReportDescriptor::parse(bytes.data(), bytes.size());
    // Without a top-level application collection a descriptor names no usage of the device.
    if (! descriptor.deviceUsagePairs.empty())
    {
        setNumber(dictionary, CFSTR(kIOHIDPrimaryUsagePageKey), descriptor.primaryUsage.usagePage);
        setNumber(dictionary, CFSTR(kIOHIDPrimaryUsageKey), descriptor.primaryUsage.usage);
        setNumber(dictionary, CFSTR(kIOHIDDeviceUsagePageKey), descriptor.primaryUsage.usagePage);
        setNumber(dictionary, CFSTR(kIOHIDDeviceUsageKey), descriptor.primaryUsage.usage);
        setValue(dictionary, CFSTR(kIOHIDDeviceUsagePairsKey), createUsagePairs(descriptor.deviceUsagePairs).get());
    }
    setNumber(dictionary, CFSTR(kIOHIDMaxInputReportSizeKey), descriptor.maxInputReportSize);
    setNumber(dictionary, CFSTR(kIOHIDMaxOutputReportSizeKey), descriptor.maxOutputReportSize);
    setNumber(dictionary, CFSTR(kIOHIDMaxFeatureReportSizeKey), descriptor.maxFeatureReportSize);
}
} // namespace

Retained<CFDictionaryRef> createDeviceProperties(const DeviceInfo& info)
{
    auto dictionary = createDictionary();
    CFMutableDictionaryRef properties = dictionary.get();
    setNumber(properties, CFSTR(kIOHIDVendorIDKey), info.vendorID);
    setNumber(properties, CFSTR(kIOHIDProductIDKey), info.productID);
    setNumber(properties, CFSTR(kIOHIDVersionNumberKey), info.versionNumber);
    setNumber(properties, CFSTR(kIOHIDCountryCodeKey), info.countryCode);
    setNumber(properties, CFSTR(kIOHIDLocationIDKey), info.locationID);
    setString(properties, CFSTR(kIOHIDTransportKey), info.transport);
    setString(properties, CFSTR(kIOHIDManufacturerKey), info.manufacturer);
    setString(properties, CFSTR(kIOHIDProductKey), info.product);
    setString(properties, CFSTR(kIOHIDSerialNumberKey), info.serialNumber);
    if (! info.reportDescriptor.empty())
        setDescriptorProperties(properties, info.reportDescriptor);
    return Retained<CFDictionaryRef>::retain(properties);
}

} // namespace platform::hidraw
