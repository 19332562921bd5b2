// Ordered collections of pointers.
//
// An array keeps its values through its callbacks: with kCFTypeArrayCallBacks it
// retains every CF object it holds, releases it on removal and compares values
// with CFEqual; with null callbacks it stores raw pointers and compares them by
// identity. Arrays made by CFArrayCreate and CFArrayCreateCopy are immutable;
// changing one, or changing any array from inside its own applier or comparator,
// stops the program, as does an index or range outside the array.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFArrayObject* CFArrayRef;
typedef struct CFArrayObject* CFMutableArrayRef;

typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);

// Any member may be null: no retain, no release, pointer text, identity.
typedef struct
{
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
} CFArrayCallBacks;

extern const CFArrayCallBacks kCFTypeArrayCallBacks;

typedef void (*CFArrayApplierFunction)(const void* value, void* context);

CFTypeID CFArrayGetTypeID(void);

// New immutable array of numValues values; callBacks null means raw pointers.
// Caller releases; null when out of memory.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
// New empty mutable array; the capacity is only a hint and is ignored. Caller releases.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks);
// New immutable / mutable array with the values and callbacks of theArray. Caller releases.
CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray);
CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFArrayRef theArray);

CFIndex CFArrayGetCount(CFArrayRef theArray);
// Borrowed: valid while the array holds it.
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex index);
// The first index in range whose value equals value, or kCFNotFound.
CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value);
Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value);
void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context);

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
// index may equal the count (appends).
void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex index, const void* value);
void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex index);
void CFArrayRemoveAllValues(CFMutableArrayRef theArray);
// Stable sort of the values in range, ascending by comparator (called with context).
void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator, void* context);
