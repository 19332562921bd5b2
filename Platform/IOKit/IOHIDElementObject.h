// The element object behind an IOHIDElementRef.
//
// Its descriptor values never change; its property dictionary is made on first
// use (most elements are never asked) and then belongs to this process's object alone.
#pragma once

#include "CoreFoundation/Object.h"
#include "IOKit/HIDReportDescriptor.h"
#include "IOKit/IOHIDValueScaling.h"
#include "IOKit/Retained.h"

#include <IOKit/hid/IOHIDElement.h>

#include <memory>
#include <mutex>

namespace platform
{
class ElementList;
}

struct IOHIDElementObject : platform::Object
{
    static CFTypeID typeID();

    // parent: the enclosing collection, retained; list: the device's elements this one is part of.
    IOHIDElementObject(const platform::HIDDescriptorElement& element, IOHIDElementRef parent,
                       std::weak_ptr<platform::ElementList> list);

    CFTypeRef property(CFStringRef key) const;
    bool setProperty(CFStringRef key, CFTypeRef value);
    // Every key of matching is a property with an equal value.
    bool matches(CFDictionaryRef matching) const;
    // What the calibration properties say, for calibrated scaling.
    platform::Calibration calibration() const;

    bool isCollection() const { return description.type == platform::HIDElementType::collection; }
    platform::ValueRange logicalRange() const;
    platform::ValueRange physicalRange() const;

    const platform::HIDDescriptorElement description;
    const platform::Retained<IOHIDElementRef> parent;
    const std::weak_ptr<platform::ElementList> list;
    const platform::Retained<CFStringRef> name;

private:
    CFMutableDictionaryRef propertiesLocked() const;
    std::optional<double> numberLocked(CFStringRef key) const;
    std::optional<platform::ValueRange> rangeLocked(CFStringRef minimumKey, CFStringRef maximumKey) const;

    mutable std::mutex lock;
    mutable platform::Retained<CFMutableDictionaryRef> properties;
};
