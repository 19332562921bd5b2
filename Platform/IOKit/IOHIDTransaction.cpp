#include "CoreFoundation/Object.h"

#include <IOKit/hid/IOHIDTransaction.h>

CFTypeID IOHIDTransactionGetTypeID(void)
{
    static const CFTypeID id = platform::registerType("IOHIDTransaction");
    return id;
}
