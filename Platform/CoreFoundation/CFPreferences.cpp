#include <CoreFoundation/CFPreferences.h>

#include "CoreFoundation/CFPreferencesLanguages.h"
#include "CoreFoundation/CFPreferencesStore.h"
#include "CoreFoundation/Object.h"
#include "CoreFoundation/Strings.h"

#include <CoreFoundation/CFBundle.h>

#include <cerrno>
#include <string>

const CFStringRef kCFPreferencesCurrentApplication = CFSTR("kCFPreferencesCurrentApplication");

namespace
{
bool isString(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID();
}

// The current application is its main bundle's identifier or, for a program
// without one, its executable's name.
std::string currentApplication()
{
    if (const auto bundle = CFBundleGetMainBundle())
        if (const auto identifier = CFBundleGetIdentifier(bundle))
            return platform::textOf(identifier);
    return program_invocation_short_name;
}

std::string applicationOf(CFStringRef applicationID)
{
    if (applicationID == kCFPreferencesCurrentApplication)
        return currentApplication();
    return platform::textOf(applicationID);
}
} // namespace

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID)
{
    if (!isString(key) || !isString(applicationID))
        return nullptr;
    return platform::noThrow<CFPropertyListRef>(nullptr, [&]() -> CFPropertyListRef {
        if (auto stored = platform::preferences::copyValue(applicationOf(applicationID), key))
            return stored.release();
        // The system answers for the language list unless the application chose its own.
        if (platform::textOf(key) == "AppleLanguages")
            return platform::preferences::copyPreferredLanguages();
        return nullptr;
    });
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID)
{
    if (!isString(key) || !isString(applicationID))
        return;
    platform::noThrowOrStop(__func__,
                            [&] { platform::preferences::setValue(applicationOf(applicationID), key, value); });
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID)
{
    if (!isString(applicationID))
        return false;
    return platform::noThrow<Boolean>(false,
                                      [&] { return platform::preferences::synchronize(applicationOf(applicationID)); });
}
