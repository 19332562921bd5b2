// Unordered collections of distinct pointers.
//
// A set keeps its values through its callbacks: with kCFTypeSetCallBacks it
// retains every CF object it holds and tells values apart with CFEqual and
// CFHash; with null callbacks it stores raw pointers compared by identity.
// Sets made by CFSetCreate are immutable; changing one, or changing a set from
// inside its own applier, stops the program. The order of values is unspecified.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFSetObject* CFSetRef;
typedef struct CFSetObject* CFMutableSetRef;

typedef const void* (*CFSetRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFSetReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFSetCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFSetEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFSetHashCallBack)(const void* value);

// Any member may be null: no retain, no release, pointer text, identity, pointer hash.
typedef struct
{
    CFIndex version;
    CFSetRetainCallBack retain;
    CFSetReleaseCallBack release;
    CFSetCopyDescriptionCallBack copyDescription;
    CFSetEqualCallBack equal;
    CFSetHashCallBack hash;
} CFSetCallBacks;

extern const CFSetCallBacks kCFTypeSetCallBacks;

typedef void (*CFSetApplierFunction)(const void* value, void* context);

CFTypeID CFSetGetTypeID(void);

// New immutable set of the distinct values among numValues; callBacks null means
// raw pointers. Caller releases; null when out of memory.
CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues, const CFSetCallBacks* callBacks);
// New empty mutable set; the capacity is ignored. Caller releases.
CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFSetCallBacks* callBacks);

CFIndex CFSetGetCount(CFSetRef theSet);
Boolean CFSetContainsValue(CFSetRef theSet, const void* value);
// Writes the count's worth of borrowed values into values.
void CFSetGetValues(CFSetRef theSet, const void** values);
void CFSetApplyFunction(CFSetRef theSet, CFSetApplierFunction applier, void* context);

// Adds value unless an equal one is already there.
void CFSetAddValue(CFMutableSetRef theSet, const void* value);
void CFSetRemoveValue(CFMutableSetRef theSet, const void* value);
