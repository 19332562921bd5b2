#include "CoreFoundation/Object.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform
{

namespace
{
struct TypeRegistry
{
    std::mutex lock;
    std::vector<const char*> names { "(none)" };
};

TypeRegistry& registry()
{
    static TypeRegistry instance;
    return instance;
}
} // namespace

CFTypeID registerType(const char* name)
{
    auto& types = registry();
    std::lock_guard<std::mutex> guard(types.lock);
    types.names.push_back(name);
    return types.names.size() - 1;
}

const char* typeName(CFTypeID type)
{
    auto& types = registry();
    std::lock_guard<std::mutex> guard(types.lock);
    return type < types.names.size() ? types.names[type] : "(unknown)";
}

std::string Object::describe() const
{
    char text[96];
    std::snprintf(text, sizeof text, "<%s %p>", typeName(typeID), static_cast<const void*>(this));
    return text;
}

void fatal(const char* function, const char* message)
{
    std::fprintf(stderr, "%s: %s\n", function, message);
    std::fflush(stderr);
    std::abort();
}

} // namespace platform
