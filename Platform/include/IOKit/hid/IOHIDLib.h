// Everything of the HID manager in one include.
#pragma once

#include <IOKit/hid/IOHIDBase.h>
#include <IOKit/hid/IOHIDDevice.h>
#include <IOKit/hid/IOHIDKeys.h>
#include <IOKit/hid/IOHIDManager.h>

#if __has_include(<IOKit/hid/IOHIDElement.h>)
#include <IOKit/hid/IOHIDElement.h>
#endif
#if __has_include(<IOKit/hid/IOHIDValue.h>)
#include <IOKit/hid/IOHIDValue.h>
#endif
#if __has_include(<IOKit/hid/IOHIDQueue.h>)
#include <IOKit/hid/IOHIDQueue.h>
#endif
#if __has_include(<IOKit/hid/IOHIDTransaction.h>)
#include <IOKit/hid/IOHIDTransaction.h>
#endif
