#include "CoreFoundation/CFPreferencesStore.h"

#include "CoreFoundation/CFPreferencesFile.h"
#include "CoreFoundation/PropertyListWriter.h"
#include "CoreFoundation/Strings.h"

#include <CoreFoundation/CFDictionary.h>

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

namespace platform::preferences
{

namespace
{
class Domain
{
public:
    explicit Domain(std::optional<std::string> path) : file(std::move(path)) {}

    Retained<CFPropertyListRef> copy(CFStringRef key)
    {
        if (const auto change = changes.find(textOf(key)); change != changes.end())
            return change->second.value;
        load();
        return Retained<CFPropertyListRef>::retain(CFDictionaryGetValue(stored.get(), key));
    }

    void set(CFStringRef key, CFPropertyListRef value)
    {
        changes[textOf(key)] = Change { Retained<CFStringRef>::retain(key),
                                        Retained<CFPropertyListRef>::retain(value) };
    }

    bool synchronize()
    {
        if (!file)
            return false;
        auto current = readPreferences(*file);
        if (!current.preferences)
            return false;
        stored = std::move(current.preferences);
        for (const auto& [text, change] : changes)
        {
            if (change.value)
                CFDictionarySetValue(stored.get(), change.key.get(), change.value.get());
            else
                CFDictionaryRemoveValue(stored.get(), change.key.get());
        }
        if (changes.empty())
            return true;
        if (current.unparseable && !keepUnparseable(*file, *current.unparseable))
            return false;
        if (!writePreferences(*file, stored.get()))
            return false;
        changes.clear();
        return true;
    }

private:
    struct Change
    {
        Retained<CFStringRef> key;
        // Null: the key was removed.
        Retained<CFPropertyListRef> value;
    };

    void load()
    {
        if (stored)
            return;
        if (file)
            stored = readPreferences(*file).preferences;
        // A file that cannot be read answers as an empty one; only a write must not take it for one.
        if (!stored)
            stored = Retained<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
                kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        if (!stored)
            throw std::bad_alloc();
    }

    const std::optional<std::string> file;
    Retained<CFMutableDictionaryRef> stored;
    std::map<std::string, Change> changes;
};

struct Domains
{
    std::mutex lock;
    // By file, so that a changed $XDG_CONFIG_HOME leads to other files; domains
    // without a file live by their identifier, in memory only.
    std::map<std::string, std::unique_ptr<Domain>> byLocation;
};

// Never destroyed: a preference may still be read while the process exits.
Domains& domains()
{
    static auto* instance = new Domains;
    return *instance;
}

// Call with the lock held.
Domain& domainFor(const std::string& applicationID)
{
    auto file = fileFor(applicationID);
    const auto location = file ? "file:" + *file : "memory:" + applicationID;
    auto& domain = domains().byLocation[location];
    if (domain == nullptr)
        domain = std::make_unique<Domain>(std::move(file));
    return *domain;
}
} // namespace

Retained<CFPropertyListRef> copyValue(const std::string& applicationID, CFStringRef key)
{
    std::lock_guard<std::mutex> guard(domains().lock);
    return domainFor(applicationID).copy(key);
}

void setValue(const std::string& applicationID, CFStringRef key, CFPropertyListRef value)
{
    if (!plist::writeXML(key) || (value != nullptr && !plist::writeXML(value)))
        return;
    std::lock_guard<std::mutex> guard(domains().lock);
    domainFor(applicationID).set(key, value);
}

bool synchronize(const std::string& applicationID)
{
    std::lock_guard<std::mutex> guard(domains().lock);
    return domainFor(applicationID).synchronize();
}

} // namespace platform::preferences
