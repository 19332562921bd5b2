#include <CoreFoundation/CFArray.h>

#include "CoreFoundation/Containers.h"

#include <algorithm>
#include <memory>
#include <vector>

using platform::ValueCallBacks;

const CFArrayCallBacks kCFTypeArrayCallBacks = { 0, platform::retainObject, platform::releaseObject,
                                                 CFCopyDescription, platform::equalObjects };

struct CFArrayObject final : platform::Container
{
    CFArrayObject(const ValueCallBacks& valueCallBacks, bool isMutableArray)
        : Container(typeID(), isMutableArray), callBacks(valueCallBacks)
    {
    }

    ~CFArrayObject() override { removeAll(); }

    static CFTypeID typeID()
    {
        static const CFTypeID id = platform::registerType("CFArray");
        return id;
    }

    bool equals(const Object& other) const override
    {
        const auto& array = static_cast<const CFArrayObject&>(other);
        return values.size() == array.values.size()
               && std::equal(values.begin(), values.end(), array.values.begin(),
                             [this](const void* a, const void* b) { return callBacks.same(a, b); });
    }

    CFHashCode hash() const override { return values.size(); }

    std::string describe() const override
    {
        std::string text = "(";
        for (const void* value : values)
            text += (text.size() > 1 ? ", " : "") + callBacks.describe(value);
        return text + ")";
    }

    void insert(CFIndex index, const void* value)
    {
        platform::keepValue(callBacks, value, [&](const void* kept) { values.insert(values.begin() + index, kept); });
    }

    void remove(CFIndex index)
    {
        const void* removed = values[static_cast<size_t>(index)];
        values.erase(values.begin() + index);
        callBacks.released(removed);
    }

    void removeAll()
    {
        // Emptied first: a release callback must not find values already given back.
        std::vector<const void*> removed;
        removed.swap(values);
        for (const void* value : removed)
            callBacks.released(value);
    }

    CFIndex count() const { return static_cast<CFIndex>(values.size()); }

    const ValueCallBacks callBacks;
    std::vector<const void*> values;
};

namespace
{
const CFArrayObject& arrayOf(CFArrayRef array, const char* function)
{
    return platform::checkedCast<CFArrayObject>(array, function);
}

CFArrayObject& changeableArrayOf(CFMutableArrayRef array, const char* function)
{
    auto& object = platform::checkedCast<CFArrayObject>(array, function);
    object.checkChangeable(function);
    return object;
}

// end is the count for reading, one more for inserting.
void checkIndex(CFIndex index, CFIndex end, const char* function)
{
    if (index < 0 || index >= end)
        platform::fatal(function, "index outside the array");
}

void checkRange(const CFArrayObject& array, CFRange range, const char* function)
{
    if (range.location < 0 || range.length < 0 || range.location > array.count()
        || range.length > array.count() - range.location)
        platform::fatal(function, "range outside the array");
}

CFArrayObject* createArray(const ValueCallBacks& callBacks, bool isMutable, const void* const* values, CFIndex count)
{
    auto array = std::make_unique<CFArrayObject>(callBacks, isMutable);
    array->values.reserve(static_cast<size_t>(count));
    for (CFIndex i = 0; i < count; ++i)
        array->insert(i, values[i]);
    return array.release();
}

// A merge sort of its own: the standard sorts may step outside the range when
// a comparator contradicts itself, and comparators come from callers.
void mergeSort(const void** values, const void** scratch, size_t count, CFComparatorFunction comparator,
               void* context)
{
    if (count < 2)
        return;
    const size_t half = count / 2;
    mergeSort(values, scratch, half, comparator, context);
    mergeSort(values + half, scratch, count - half, comparator, context);
    std::copy(values, values + half, scratch);
    size_t left = 0, right = half, out = 0;
    while (left < half && right < count)
        values[out++] = comparator(values[right], scratch[left], context) < 0 ? values[right++] : scratch[left++];
    std::copy(scratch + left, scratch + half, values + out);
}
} // namespace

CFTypeID CFArrayGetTypeID(void)
{
    return CFArrayObject::typeID();
}

//==============================================================================
CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks)
{
    if (numValues < 0 || (values == nullptr && numValues > 0))
        return nullptr;
    return platform::noThrow<CFArrayRef>(nullptr, [&] {
        return platform::toRef<CFArrayRef>(
            createArray(platform::valueCallBacksFrom(callBacks), false, values, numValues));
    });
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return platform::noThrow<CFMutableArrayRef>(nullptr, [&] {
        return platform::toRef<CFMutableArrayRef>(new CFArrayObject(platform::valueCallBacksFrom(callBacks), true));
    });
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef, CFArrayRef theArray)
{
    const auto& array = arrayOf(theArray, "CFArrayCreateCopy");
    return platform::noThrow<CFArrayRef>(nullptr, [&] {
        return platform::toRef<CFArrayRef>(createArray(array.callBacks, false, array.values.data(), array.count()));
    });
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex, CFArrayRef theArray)
{
    const auto& array = arrayOf(theArray, "CFArrayCreateMutableCopy");
    return platform::noThrow<CFMutableArrayRef>(nullptr, [&] {
        return platform::toRef<CFMutableArrayRef>(
            createArray(array.callBacks, true, array.values.data(), array.count()));
    });
}

//==============================================================================
CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    return arrayOf(theArray, "CFArrayGetCount").count();
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex index)
{
    const auto& array = arrayOf(theArray, "CFArrayGetValueAtIndex");
    checkIndex(index, array.count(), "CFArrayGetValueAtIndex");
    return array.values[static_cast<size_t>(index)];
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value)
{
    const auto& array = arrayOf(theArray, "CFArrayGetFirstIndexOfValue");
    checkRange(array, range, "CFArrayGetFirstIndexOfValue");
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        if (array.callBacks.same(array.values[static_cast<size_t>(i)], value))
            return i;
    return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value)
{
    return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context)
{
    const auto& array = arrayOf(theArray, "CFArrayApplyFunction");
    checkRange(array, range, "CFArrayApplyFunction");
    if (applier == nullptr)
        platform::fatal("CFArrayApplyFunction", "null applier");
    const platform::Container::Walk walk(array);
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        applier(array.values[static_cast<size_t>(i)], context);
}

//==============================================================================
void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
    auto& array = changeableArrayOf(theArray, "CFArrayAppendValue");
    platform::noThrowOrStop("CFArrayAppendValue", [&] { array.insert(array.count(), value); });
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex index, const void* value)
{
    auto& array = changeableArrayOf(theArray, "CFArrayInsertValueAtIndex");
    checkIndex(index, array.count() + 1, "CFArrayInsertValueAtIndex");
    platform::noThrowOrStop("CFArrayInsertValueAtIndex", [&] { array.insert(index, value); });
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex index)
{
    auto& array = changeableArrayOf(theArray, "CFArrayRemoveValueAtIndex");
    checkIndex(index, array.count(), "CFArrayRemoveValueAtIndex");
    array.remove(index);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray)
{
    changeableArrayOf(theArray, "CFArrayRemoveAllValues").removeAll();
}

void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator, void* context)
{
    auto& array = changeableArrayOf(theArray, "CFArraySortValues");
    checkRange(array, range, "CFArraySortValues");
    if (comparator == nullptr)
        platform::fatal("CFArraySortValues", "null comparator");
    platform::noThrowOrStop("CFArraySortValues", [&] {
        std::vector<const void*> scratch(static_cast<size_t>(range.length / 2));
        const platform::Container::Walk walk(array);
        mergeSort(array.values.data() + range.location, scratch.data(), static_cast<size_t>(range.length),
                  comparator, context);
    });
}
