// Collections of key-value pairs with distinct keys.
//
// Keys and values are kept through their callbacks: with kCFTypeDictionaryKeyCallBacks
// and kCFTypeDictionaryValueCallBacks keys and values are retained CF objects and
// keys are told apart with CFEqual and CFHash (a string key matches an equal string,
// a number key an equal number); kCFCopyStringDictionaryKeyCallBacks stores an
// immutable copy of each string key. Null callbacks store raw pointers compared by
// identity. Dictionaries made by CFDictionaryCreate and CFDictionaryCreateCopy are
// immutable; changing one, or changing a dictionary from inside its own applier,
// stops the program. The order of entries is unspecified.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFDictionaryObject* CFDictionaryRef;
typedef struct CFDictionaryObject* CFMutableDictionaryRef;

typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);

// Any member may be null: no retain, no release, pointer text, identity, pointer hash.
typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
} CFDictionaryKeyCallBacks;

typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
} CFDictionaryValueCallBacks;

extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

typedef void (*CFDictionaryApplierFunction)(const void* key, const void* value, void* context);

CFTypeID CFDictionaryGetTypeID(void);

// New immutable dictionary of numValues pairs (a later duplicate key replaces the
// earlier value). Null callbacks mean raw pointers. Caller releases; null when out of memory.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
// New empty mutable dictionary; the capacity is ignored. Caller releases.
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// New immutable / mutable dictionary with the entries and callbacks of theDict. Caller releases.
CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict);
CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict);

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key);
// Borrowed value, or null when the key is absent (or its value is null).
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
// True when the key is present; then its borrowed value goes to *value (value may be null).
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value);
// Writes the count's worth of borrowed keys and values, pair by pair in the same
// order; either pointer may be null.
void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values);
void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context);

// Sets the key's value, adding the pair or replacing the old value.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
// Adds the pair only when the key is absent.
void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key);
void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict);
