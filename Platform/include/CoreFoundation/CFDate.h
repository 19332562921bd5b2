// Points in time, as property lists hold them.
//
// An absolute time counts seconds from 2001-01-01 00:00:00 UTC.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct CFDateObject* CFDateRef;

// Seconds from 1970-01-01 00:00:00 UTC to the start of absolute time.
static const CFTimeInterval kCFAbsoluteTimeIntervalSince1970 = 978307200.0;

CFTypeID CFDateGetTypeID(void);

// Caller releases; null when out of memory.
CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at);
CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate);
