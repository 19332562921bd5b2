// Basic CoreFoundation types and the calls every object answers to.
//
// Every CF object of the layer is reference counted. Functions named Create or
// Copy hand the caller a reference it must give back with CFRelease; Get
// functions return a borrowed reference that stays valid as long as its owner.
// Reference counting is thread-safe; mutating one object from two threads is not.
#pragma once

#include <cstddef>
#include <cstdint>

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef UInt16 UniChar;

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFHashCode;
typedef unsigned long CFOptionFlags;
typedef double CFTimeInterval;
typedef double CFAbsoluteTime;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef const void* CFTypeRef;
typedef CFTypeRef CFPropertyListRef;

// Opaque object types; their definitions are the layer's own.
typedef const struct CFAllocatorObject* CFAllocatorRef;
typedef const struct CFStringObject* CFStringRef;
typedef struct CFStringObject* CFMutableStringRef;

typedef struct
{
    CFIndex location;
    CFIndex length;
} CFRange;

inline CFRange CFRangeMake(CFIndex location, CFIndex length)
{
    return CFRange { location, length };
}

typedef enum : CFIndex
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
} CFComparisonResult;

typedef CFComparisonResult (*CFComparatorFunction)(const void* value1, const void* value2, void* context);

static const CFIndex kCFNotFound = -1;

// The layer has one allocator; the named allocators all stand for it.
extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFAllocatorRef kCFAllocatorSystemDefault;
extern const CFAllocatorRef kCFAllocatorNull;

// Takes one more reference; returns its argument. A null argument stops the program.
CFTypeRef CFRetain(CFTypeRef object);
// Gives one reference back; the object is destroyed with its last. A null argument stops the program.
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
// Same type and same contents (strings, numbers, containers) or the same object.
Boolean CFEqual(CFTypeRef object1, CFTypeRef object2);
CFHashCode CFHash(CFTypeRef object);
// A new string that describes the object (a string itself, a number its value). Caller releases.
CFStringRef CFCopyDescription(CFTypeRef object);
