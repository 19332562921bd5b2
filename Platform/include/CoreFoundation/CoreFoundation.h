// Umbrella header of the CoreFoundation layer.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFSet.h>
#include <CoreFoundation/CFString.h>

#if __has_include(<CoreFoundation/CFRunLoop.h>)
#include <CoreFoundation/CFRunLoop.h>
#endif
#if __has_include(<CoreFoundation/CFPreferences.h>)
#include <CoreFoundation/CFPreferences.h>
#endif
#if __has_include(<CoreFoundation/CFLocale.h>)
#include <CoreFoundation/CFLocale.h>
#endif
#if __has_include(<CoreFoundation/CFBundle.h>)
#include <CoreFoundation/CFBundle.h>
#endif
#if __has_include(<CoreFoundation/CFURL.h>)
#include <CoreFoundation/CFURL.h>
#endif
#if __has_include(<CoreFoundation/CFPropertyList.h>)
#include <CoreFoundation/CFPropertyList.h>
#endif
