// Immutable byte buffers.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFDataObject* CFDataRef;

CFTypeID CFDataGetTypeID(void);

// New data holding a copy of length bytes (bytes may be null when length is 0).
// Caller releases; null when length is negative or out of memory.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
CFIndex CFDataGetLength(CFDataRef theData);
// Borrowed: valid while the data lives; never null, even for empty data.
const UInt8* CFDataGetBytePtr(CFDataRef theData);
// Copies the bytes of range into buffer; a range outside the data stops the program.
void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer);
