// Bundles: folders of resources that belong to a program.
//
// A bundle is a folder that holds its resources in a folder "Resources" and may
// describe itself in an XML property list "Info.plist" (its "CFBundleIdentifier"
// names it). The main bundle is the folder of the running executable, so the
// application's resources lie in "Resources" beside the executable. Bundles, once
// known, stay known for the life of the process. Any thread.
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFURL.h>

typedef struct CFBundleObject* CFBundleRef;

CFTypeID CFBundleGetTypeID(void);

// Not retained for the caller; null only when the executable cannot be found.
CFBundleRef CFBundleGetMainBundle(void);
// The first known bundle with that identifier whose folder still exists, not
// retained for the caller; null when none.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
// Every known bundle, the main bundle first, then the others in the order they
// became known. Not retained for the caller; stays valid for the life of the process.
CFArrayRef CFBundleGetAllBundles(void);

// The bundle of that folder, which from now on is known to the process; the same
// object for the same folder. Caller releases. Null when the URL names no folder.
CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);

// Borrowed; null when the bundle has no identifier.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
// Caller releases.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);

// The URL of the file "Resources/[subDirName/]resourceName[.resourceType]" of the
// bundle, when it exists now. Caller releases; null when there is no such file.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);
