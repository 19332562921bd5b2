#include <CoreFoundation/CFNumber.h>

#include "CoreFoundation/Object.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace
{
struct TypeInfo
{
    CFIndex size;
    bool isFloat;
};

std::optional<TypeInfo> infoOf(CFNumberType type)
{
    switch (type)
    {
        case kCFNumberSInt8Type:
        case kCFNumberCharType: return TypeInfo { 1, false };
        case kCFNumberSInt16Type:
        case kCFNumberShortType: return TypeInfo { 2, false };
        case kCFNumberSInt32Type:
        case kCFNumberIntType: return TypeInfo { 4, false };
        case kCFNumberSInt64Type:
        case kCFNumberLongLongType: return TypeInfo { 8, false };
        case kCFNumberLongType:
        case kCFNumberNSIntegerType: return TypeInfo { sizeof(long), false };
        case kCFNumberCFIndexType: return TypeInfo { sizeof(CFIndex), false };
        case kCFNumberFloat32Type:
        case kCFNumberFloatType: return TypeInfo { 4, true };
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
        case kCFNumberCGFloatType: return TypeInfo { 8, true };
        default: return std::nullopt;
    }
}

constexpr double twoToThe63 = 9223372036854775808.0;

bool fitsInt64(double value) { return value >= -twoToThe63 && value < twoToThe63; }

// Doubles beyond the float range would be undefined to cast.
float toFloat32(double value)
{
    if (value > FLT_MAX)
        return HUGE_VALF;
    if (value < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(value);
}

// Truncated toward zero, clamped to the 64-bit range; NaN gives 0. exact tells whether nothing was lost.
SInt64 toInt64(double value, bool& exact)
{
    exact = false;
    if (std::isnan(value))
        return 0;
    if (!fitsInt64(value))
        return value > 0 ? INT64_MAX : INT64_MIN;
    const auto whole = static_cast<SInt64>(value);
    exact = static_cast<double>(whole) == value;
    return whole;
}

bool representsInteger(double value, SInt64 integer)
{
    return fitsInt64(value) && static_cast<SInt64>(value) == integer;
}

template <typename T>
bool storeNarrowed(SInt64 value, void* out)
{
    // Keeps the low bits, as a C cast does.
    const auto narrowed = static_cast<T>(value);
    std::memcpy(out, &narrowed, sizeof narrowed);
    return narrowed == value;
}

bool storeInteger(SInt64 value, CFIndex size, void* out)
{
    switch (size)
    {
        case 1: return storeNarrowed<SInt8>(value, out);
        case 2: return storeNarrowed<SInt16>(value, out);
        case 4: return storeNarrowed<SInt32>(value, out);
        default: return storeNarrowed<SInt64>(value, out);
    }
}

template <typename T>
T load(const void* in)
{
    T value;
    std::memcpy(&value, in, sizeof value);
    return value;
}

SInt64 loadInteger(const void* in, CFIndex size)
{
    switch (size)
    {
        case 1: return load<SInt8>(in);
        case 2: return load<SInt16>(in);
        case 4: return load<SInt32>(in);
        default: return load<SInt64>(in);
    }
}

template <typename T>
void store(T value, void* out)
{
    std::memcpy(out, &value, sizeof value);
}

int threeWay(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

// NaN sorts below every other value and equals itself.
int compareReals(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) ? (std::isnan(b) ? 0 : -1) : 1;
    return threeWay(a, b);
}

// Exact, although most 64-bit integers have no double of the same value.
int compareIntegerWithReal(SInt64 integer, double real)
{
    if (std::isnan(real))
        return 1;
    if (!fitsInt64(real))
        return real > 0 ? -1 : 1;
    const auto whole = static_cast<SInt64>(real);
    if (integer != whole)
        return integer < whole ? -1 : 1;
    return threeWay(0.0, real - static_cast<double>(whole));
}

CFHashCode hashInteger(SInt64 value)
{
    return std::hash<SInt64> {}(value);
}

// The shortest %g text that reads back as the same value at the number's own precision.
std::string shortestText(double value, bool singlePrecision)
{
    char text[40];
    if (!std::isfinite(value))
    {
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits)
    {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        const double readBack = std::strtod(text, nullptr);
        if (singlePrecision ? toFloat32(readBack) == toFloat32(value) : readBack == value)
            break;
    }
    return text;
}
} // namespace

struct CFNumberObject final : platform::Object
{
    CFNumberObject(CFNumberType numberType, TypeInfo typeInfo, const void* valuePtr)
        : Object(typeID()), type(numberType), info(typeInfo)
    {
        if (info.isFloat)
            real = info.size == 4 ? load<float>(valuePtr) : load<double>(valuePtr);
        else
            integer = loadInteger(valuePtr, info.size);
    }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFNumber");
        return id;
    }

    int compare(const CFNumberObject& other) const
    {
        if (info.isFloat && other.info.isFloat)
            return compareReals(real, other.real);
        if (!info.isFloat && !other.info.isFloat)
            return integer < other.integer ? -1 : integer > other.integer ? 1 : 0;
        return info.isFloat ? -compareIntegerWithReal(other.integer, real)
                            : compareIntegerWithReal(integer, other.real);
    }

    bool equals(const Object& other) const override { return compare(static_cast<const CFNumberObject&>(other)) == 0; }

    // Equal numbers hash alike: a whole double hashes as its integer.
    CFHashCode hash() const override
    {
        if (!info.isFloat)
            return hashInteger(integer);
        if (std::isnan(real))
            return 0;
        if (fitsInt64(real) && std::trunc(real) == real)
            return hashInteger(static_cast<SInt64>(real));
        return std::hash<double> {}(real);
    }

    std::string describe() const override
    {
        return info.isFloat ? shortestText(real, info.size == 4) : std::to_string(integer);
    }

    bool convert(TypeInfo target, void* out) const
    {
        if (!target.isFloat)
        {
            bool exact = true;
            const SInt64 whole = info.isFloat ? toInt64(real, exact) : integer;
            return storeInteger(whole, target.size, out) && exact;
        }
        if (target.size == 4)
        {
            const float value = info.isFloat ? toFloat32(real) : static_cast<float>(integer);
            store(value, out);
            if (!info.isFloat)
                return representsInteger(value, integer);
            return static_cast<double>(value) == real || (std::isnan(value) && std::isnan(real));
        }
        const double value = info.isFloat ? real : static_cast<double>(integer);
        store(value, out);
        return info.isFloat || representsInteger(value, integer);
    }

    const CFNumberType type;
    const TypeInfo info;
    SInt64 integer = 0;
    double real = 0.0;
};

struct CFBooleanObject final : platform::Object
{
    explicit CFBooleanObject(bool truth) : Object(typeID(), platform::Lifetime::permanent), value(truth) {}

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFBoolean");
        return id;
    }

    std::string describe() const override { return value ? "true" : "false"; }

    const bool value;
};

namespace
{
CFBooleanObject trueObject { true };
CFBooleanObject falseObject { false };

const CFNumberObject& numberOf(CFNumberRef number, const char* function)
{
    return platform::checkedCast<CFNumberObject>(number, function);
}
} // namespace

const CFBooleanRef kCFBooleanTrue = &trueObject;
const CFBooleanRef kCFBooleanFalse = &falseObject;

CFTypeID CFBooleanGetTypeID(void)
{
    return CFBooleanObject::typeID();
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    return platform::checkedCast<CFBooleanObject>(boolean, "CFBooleanGetValue").value;
}

//==============================================================================
CFTypeID CFNumberGetTypeID(void)
{
    return CFNumberObject::typeID();
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
    const auto info = infoOf(theType);
    if (!info || valuePtr == nullptr)
        return nullptr;
    return platform::noThrow<CFNumberRef>(nullptr, [&] {
        return platform::toRef<CFNumberRef>(new CFNumberObject(theType, *info, valuePtr));
    });
}

CFNumberType CFNumberGetType(CFNumberRef number)
{
    return numberOf(number, "CFNumberGetType").type;
}

CFIndex CFNumberGetByteSize(CFNumberRef number)
{
    return numberOf(number, "CFNumberGetByteSize").info.size;
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    return numberOf(number, "CFNumberIsFloatType").info.isFloat;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
    const auto& object = numberOf(number, "CFNumberGetValue");
    const auto target = infoOf(theType);
    if (!target || valuePtr == nullptr)
        return false;
    return object.convert(*target, valuePtr);
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void*)
{
    const int order = numberOf(number, "CFNumberCompare").compare(numberOf(otherNumber, "CFNumberCompare"));
    return order < 0 ? kCFCompareLessThan : order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo;
}
