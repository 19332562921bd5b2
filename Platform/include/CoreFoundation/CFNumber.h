// Numbers and booleans.
//
// A number remembers the type it was created with (CFNumberGetType answers it)
// and its value: an integer type holds a signed 64-bit integer, a float type a
// double. Numbers are equal, hash alike and compare by value across types
// (the integer 1 equals the double 1.0).
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFBooleanObject* CFBooleanRef;
typedef const struct CFNumberObject* CFNumberRef;

typedef enum : CFIndex
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
    kCFNumberNSIntegerType = 15,
    kCFNumberCGFloatType = 16,
    kCFNumberMaxType = 16
} CFNumberType;

// The two booleans live as long as the process; retaining and releasing them is harmless.
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

CFTypeID CFBooleanGetTypeID(void);
Boolean CFBooleanGetValue(CFBooleanRef boolean);

CFTypeID CFNumberGetTypeID(void);

// New number read from *valuePtr as theType (Char is signed 8 bits, Short 16,
// Int 32, Long, LongLong, CFIndex and NSInteger 64; Float 32, Double and CGFloat 64).
// Caller releases; null for an unknown type, a null valuePtr or out of memory.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
CFNumberType CFNumberGetType(CFNumberRef number);
// Size in bytes of the number's own type.
CFIndex CFNumberGetByteSize(CFNumberRef number);
Boolean CFNumberIsFloatType(CFNumberRef number);
// Writes the value converted to theType into *valuePtr and returns true when the
// conversion was exact, false when it lost something; the converted value is
// written all the same. Integers narrow by keeping their low bits, as C casts do
// (2^32 + 1 as SInt32 is 1). Floats go to integers truncated toward zero, clamped
// to the signed 64-bit range (NaN gives 0), then narrowed like integers; doubles
// beyond the Float32 range become infinities. An unknown type writes nothing and
// returns false.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
// Orders two numbers by value, exactly across integer and float types; NaN sorts
// below every other value and equals itself. The context is unused.
CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void* context);
