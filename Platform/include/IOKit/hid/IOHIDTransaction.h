// Element transactions of a HID device: only their identity is provided, so
// that a transaction reference can be kept and recognised.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

typedef struct IOHIDTransactionObject* IOHIDTransactionRef;

CFTypeID IOHIDTransactionGetTypeID(void);
