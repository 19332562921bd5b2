#include "HID_Name_Lookup.h"

#include <cstdarg>
#include <cstring>

CFPropertyListRef gUsageCFPropertyListRef = nullptr;
CFPropertyListRef gCookieCFPropertyListRef = nullptr;

namespace
{
const CFStringRef kNameKey = CFSTR("Name");

CFDictionaryRef asDictionary(CFTypeRef value)
{
    if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID())
        return nullptr;
    return static_cast<CFDictionaryRef>(value);
}

// A list is searched only when its top level is a dictionary. Whatever the
// load gave stays cached, so only a list that was not found is looked for again.
CFDictionaryRef loadedList(CFPropertyListRef& cache, CFStringRef resourceName)
{
    if (cache == nullptr)
        cache = hu_XMLLoad(resourceName, CFSTR("plist"));
    return asDictionary(cache);
}

CFTypeRef entryAt(CFDictionaryRef dictionary, CFStringRef key)
{
    const void* value = nullptr;
    if (dictionary == nullptr || !CFDictionaryGetValueIfPresent(dictionary, key, &value))
        return nullptr;
    return value;
}

// The entry under the key that format makes of the arguments, or null.
CFTypeRef entryAtFormattedKey(CFDictionaryRef dictionary, CFStringRef format, ...)
{
    if (dictionary == nullptr)
        return nullptr;
    va_list arguments;
    va_start(arguments, format);
    const CFStringRef key = CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, format, arguments);
    va_end(arguments);
    if (key == nullptr)
        return nullptr;
    const CFTypeRef value = entryAt(dictionary, key);
    CFRelease(key);
    return value;
}

// Entries below the top level are not trusted to be dictionaries: a list that
// holds anything else where a vendor or product belongs simply has no name there.
CFDictionaryRef productDictionary(CFDictionaryRef list, long inVendorID, long inProductID)
{
    const CFDictionaryRef vendor = asDictionary(entryAtFormattedKey(list, CFSTR("%ld"), inVendorID));
    return asDictionary(entryAtFormattedKey(vendor, CFSTR("%ld"), inProductID));
}

// The caller's buffer is kHIDNameBufferSize bytes: the conversion may use all of
// them, which is what the name needs in UTF-8 (a count of UTF-16 units would
// not bound it), and fails rather than writing past them.
Boolean copyText(CFTypeRef text, char* outCStr)
{
    if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID())
        return false;
    return CFStringGetCString(static_cast<CFStringRef>(text), outCStr, kHIDNameBufferSize, kCFStringEncodingUTF8);
}

// Joins or describes values through "%@", so that a name given as a number still reads.
Boolean copyFormatted(char* outCStr, CFStringRef format, CFTypeRef first, CFTypeRef second = nullptr)
{
    const CFStringRef text = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, format, first, second);
    if (text == nullptr)
        return false;
    const Boolean copied = copyText(text, outCStr);
    CFRelease(text);
    return copied;
}

CFURLRef copyResourceURL(CFBundleRef bundle, CFStringRef inResourceName, CFStringRef inResourceExtension)
{
    if (bundle == nullptr)
        return nullptr;
    return CFBundleCopyResourceURL(bundle, inResourceName, inResourceExtension, nullptr);
}

CFURLRef copyResourceURLFromAnyBundle(CFStringRef inResourceName, CFStringRef inResourceExtension)
{
    const CFArrayRef bundles = CFBundleGetAllBundles();
    const CFIndex count = bundles != nullptr ? CFArrayGetCount(bundles) : 0;
    for (CFIndex index = 0; index < count; index++)
    {
        const auto bundle = static_cast<CFBundleRef>(const_cast<void*>(CFArrayGetValueAtIndex(bundles, index)));
        if (const CFURLRef url = copyResourceURL(bundle, inResourceName, inResourceExtension))
            return url;
    }
    return nullptr;
}
} // namespace

//==============================================================================
Boolean HIDGetVendorNameFromVendorID(long inVendorID, char* outCStrName)
{
    *outCStrName = 0;
    return hu_XMLSearchForVendorNameByVendorID(inVendorID, outCStrName);
}

Boolean HIDGetProductNameFromVendorProductID(long inVendorID, long inProductID, char* outCStrName)
{
    *outCStrName = 0;
    return hu_XMLSearchForProductNameByVendorProductID(inVendorID, inProductID, outCStrName);
}

Boolean HIDGetElementNameFromVendorProductCookie(int inVendorID, int inProductID, IOHIDElementCookie inCookie,
                                                 char* outCStrName)
{
    *outCStrName = 0;
    return hu_XMLSearchForElementNameByCookie(inVendorID, inProductID, inCookie, outCStrName);
}

Boolean HIDGetElementNameFromVendorProductUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                                char* outCStrName)
{
    *outCStrName = 0;
    return hu_XMLSearchForElementNameByUsage(inVendorID, inProductID, inUsagePage, inUsage, outCStrName);
}

void HIDGetTypeName(IOHIDElementType inIOHIDElementType, char* outCStrName)
{
    const char* name = "Unknown Type";
    switch (inIOHIDElementType)
    {
        case kIOHIDElementTypeInput_Misc:      name = "Miscellaneous Input"; break;
        case kIOHIDElementTypeInput_Button:    name = "Button Input"; break;
        case kIOHIDElementTypeInput_Axis:      name = "Axis Input"; break;
        case kIOHIDElementTypeInput_ScanCodes: name = "Scan Code Input"; break;
        case kIOHIDElementTypeOutput:          name = "Output"; break;
        case kIOHIDElementTypeFeature:         name = "Feature"; break;
        case kIOHIDElementTypeCollection:      name = "Collection"; break;
    }
    std::strcpy(outCStrName, name);
}

CFStringRef HIDCopyUsageName(long inUsagePage, long inUsage)
{
    static CFPropertyListRef tCFPropertyListRef = nullptr;
    const CFDictionaryRef list = loadedList(tCFPropertyListRef, CFSTR("HID_usage_strings"));
    const CFDictionaryRef page = asDictionary(entryAtFormattedKey(list, CFSTR("0x%4.4lX"), inUsagePage));
    const CFTypeRef pageName = entryAt(page, kNameKey);
    const CFTypeRef usageName = entryAtFormattedKey(page, CFSTR("0x%4.4lX"), inUsage);
    if (pageName == nullptr || usageName == nullptr)
        return nullptr;
    return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@ %@"), pageName, usageName);
}

//==============================================================================
Boolean hu_XMLSearchForVendorNameByVendorID(long inVendorID, char* outCStr)
{
    const CFDictionaryRef list = loadedList(gUsageCFPropertyListRef, CFSTR("HID_device_usage_strings"));
    const CFDictionaryRef vendor = asDictionary(entryAtFormattedKey(list, CFSTR("%ld"), inVendorID));
    return copyText(entryAt(vendor, kNameKey), outCStr);
}

Boolean hu_XMLSearchForProductNameByVendorProductID(long inVendorID, long inProductID, char* outCStr)
{
    const CFDictionaryRef list = loadedList(gUsageCFPropertyListRef, CFSTR("HID_device_usage_strings"));
    const CFDictionaryRef vendor = asDictionary(entryAtFormattedKey(list, CFSTR("%ld"), inVendorID));
    const CFDictionaryRef product = asDictionary(entryAtFormattedKey(vendor, CFSTR("%ld"), inProductID));
    if (product == nullptr)
        return false;
    // A missing "Name" joins as "(null)": the lists are expected to name both.
    return copyFormatted(outCStr, CFSTR("%@ %@"), entryAt(vendor, kNameKey), entryAt(product, kNameKey));
}

Boolean hu_XMLSearchForElementNameByCookie(long inVendorID, long inProductID, IOHIDElementCookie inCookie,
                                           char* outCStr)
{
    const CFDictionaryRef list = loadedList(gCookieCFPropertyListRef, CFSTR("HID_cookie_strings"));
    const CFDictionaryRef product = productDictionary(list, inVendorID, inProductID);
    // Cookies are keyed in signed decimal, so one with its top bit set reads negative.
    const CFTypeRef name = entryAtFormattedKey(product, CFSTR("%d"), static_cast<int>(inCookie));
    return name != nullptr && copyFormatted(outCStr, CFSTR("%@"), name);
}

Boolean hu_XMLSearchForElementNameByUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                          char* outCStr)
{
    const CFDictionaryRef list = loadedList(gUsageCFPropertyListRef, CFSTR("HID_device_usage_strings"));
    const CFDictionaryRef product = productDictionary(list, inVendorID, inProductID);
    const CFTypeRef name = entryAtFormattedKey(product, CFSTR("%ld:%ld"), inUsagePage, inUsage);
    return name != nullptr && copyFormatted(outCStr, CFSTR("%@"), name);
}

//==============================================================================
CFPropertyListRef hu_XMLLoad(CFStringRef inResourceName, CFStringRef inResourceExtension)
{
    CFURLRef url = copyResourceURL(CFBundleGetMainBundle(), inResourceName, inResourceExtension);
    if (url == nullptr)
        url = copyResourceURL(CFBundleGetBundleWithIdentifier(CFSTR(kHIDUtilitiesBundleIdentifier)), inResourceName,
                              inResourceExtension);
    if (url == nullptr)
        url = copyResourceURLFromAnyBundle(inResourceName, inResourceExtension);
    if (url == nullptr)
        return nullptr;
    const CFPropertyListRef list = hu_LoadFromXMLFile(url);
    CFRelease(url);
    return list;
}

CFPropertyListRef hu_LoadFromXMLFile(CFURLRef inURL)
{
    CFDataRef data = nullptr;
    SInt32 errorCode = 0;
    if (!CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, inURL, &data, nullptr, nullptr, &errorCode))
        return nullptr;
    CFStringRef errorString = nullptr;
    const CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable,
                                                                   &errorString);
    if (errorString != nullptr)
        CFRelease(errorString);
    CFRelease(data);
    return list;
}
