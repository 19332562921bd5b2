#include <CoreFoundation/CFData.h>

#include "CoreFoundation/Object.h"

#include <cstring>
#include <string>

struct CFDataObject final : platform::Object
{
    explicit CFDataObject(std::string content) : Object(typeID()), bytes(std::move(content)) {}

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFData");
        return id;
    }

    bool equals(const Object& other) const override { return bytes == static_cast<const CFDataObject&>(other).bytes; }
    CFHashCode hash() const override { return std::hash<std::string> {}(bytes); }

    std::string describe() const override
    {
        static const char digits[] = "0123456789abcdef";
        std::string text = "<";
        for (const char byte : bytes)
        {
            text += digits[static_cast<unsigned char>(byte) >> 4];
            text += digits[static_cast<unsigned char>(byte) & 0x0F];
        }
        return text + ">";
    }

    CFIndex length() const { return static_cast<CFIndex>(bytes.size()); }

    // A string keeps a valid pointer even when empty.
    const std::string bytes;
};

namespace
{
const CFDataObject& dataOf(CFDataRef data, const char* function)
{
    return platform::checkedCast<CFDataObject>(data, function);
}
} // namespace

CFTypeID CFDataGetTypeID(void)
{
    return CFDataObject::typeID();
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (bytes == nullptr && length > 0))
        return nullptr;
    return platform::noThrow<CFDataRef>(nullptr, [&] {
        std::string content(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
        return platform::toRef<CFDataRef>(new CFDataObject(std::move(content)));
    });
}

CFIndex CFDataGetLength(CFDataRef theData)
{
    return dataOf(theData, "CFDataGetLength").length();
}

const UInt8* CFDataGetBytePtr(CFDataRef theData)
{
    return reinterpret_cast<const UInt8*>(dataOf(theData, "CFDataGetBytePtr").bytes.data());
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer)
{
    const auto& data = dataOf(theData, "CFDataGetBytes");
    if (range.location < 0 || range.length < 0 || range.location > data.length()
        || range.length > data.length() - range.location)
        platform::fatal("CFDataGetBytes", "range outside the data");
    if (range.length > 0)
        std::memcpy(buffer, data.bytes.data() + range.location, static_cast<size_t>(range.length));
}
