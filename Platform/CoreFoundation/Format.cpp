#include "CoreFoundation/Format.h"

#include "CoreFoundation/Encodings.h"
#include "CoreFoundation/Object.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace platform
{

namespace
{
// va_list is an array type on some targets; wrapping it lets helpers share one cursor portably.
struct Arguments
{
    va_list list;
};

struct Conversion
{
    std::string spec { "%" }; // flags, width and precision as printf reads them
    std::string length;
    char type = 0;
};

bool isOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

void readDigits(std::string_view format, size_t& pos, std::string& into)
{
    while (pos < format.size() && isOneOf(format[pos], "0123456789"))
        into += format[pos++];
}

// A width or precision: digits, or '*' taken from the arguments (a negative
// precision counts as none, as in printf).
void readCount(std::string_view format, size_t& pos, Arguments& args, Conversion& conversion, bool isPrecision)
{
    if (pos < format.size() && format[pos] == '*')
    {
        ++pos;
        const int count = va_arg(args.list, int);
        if (!isPrecision || count >= 0)
            conversion.spec += (isPrecision ? "." : "") + std::to_string(count);
        return;
    }
    if (isPrecision)
        conversion.spec += '.';
    readDigits(format, pos, conversion.spec);
}

void readLength(std::string_view format, size_t& pos, Conversion& conversion)
{
    static const char* const modifiers[] = { "hh", "ll", "h", "l", "q", "j", "z", "t", "L" };
    for (const char* modifier : modifiers)
        if (format.substr(pos, std::strlen(modifier)) == modifier)
        {
            conversion.length = modifier;
            pos += conversion.length.size();
            return;
        }
}

// Reads one conversion, from just after its '%'; false when it is cut short or positional.
bool parseConversion(std::string_view format, size_t& pos, Arguments& args, Conversion& conversion)
{
    while (pos < format.size() && isOneOf(format[pos], "-+ #0"))
        conversion.spec += format[pos++];
    readCount(format, pos, args, conversion, false);
    if (pos < format.size() && format[pos] == '$')
        return false;
    if (pos < format.size() && format[pos] == '.')
    {
        ++pos;
        readCount(format, pos, args, conversion, true);
    }
    readLength(format, pos, conversion);
    if (pos == format.size())
        return false;
    conversion.type = format[pos++];
    return true;
}

template <typename T>
bool appendPrintf(std::string& out, const std::string& spec, T value)
{
    const int size = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (size < 0)
        return false;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(size) + 1);
    std::snprintf(&out[start], static_cast<size_t>(size) + 1, spec.c_str(), value);
    out.resize(start + static_cast<size_t>(size));
    return true;
}

std::string specWith(const Conversion& conversion, const char* length, char type)
{
    return conversion.spec + length + type;
}

bool appendSigned(std::string& out, const Conversion& c, Arguments& args)
{
    const std::string& n = c.length;
    if (n.empty() || n == "h" || n == "hh")
        return appendPrintf(out, specWith(c, n.c_str(), c.type), va_arg(args.list, int));
    if (n == "l")
        return appendPrintf(out, specWith(c, "l", c.type), va_arg(args.list, long));
    if (n == "ll" || n == "q")
        return appendPrintf(out, specWith(c, "ll", c.type), va_arg(args.list, long long));
    if (n == "j")
        return appendPrintf(out, specWith(c, "j", c.type), va_arg(args.list, intmax_t));
    if (n == "z")
        return appendPrintf(out, specWith(c, "z", c.type), va_arg(args.list, std::make_signed_t<size_t>));
    if (n == "t")
        return appendPrintf(out, specWith(c, "t", c.type), va_arg(args.list, ptrdiff_t));
    return false;
}

bool appendUnsigned(std::string& out, const Conversion& c, Arguments& args)
{
    const std::string& n = c.length;
    if (n.empty() || n == "h" || n == "hh")
        return appendPrintf(out, specWith(c, n.c_str(), c.type), va_arg(args.list, unsigned int));
    if (n == "l")
        return appendPrintf(out, specWith(c, "l", c.type), va_arg(args.list, unsigned long));
    if (n == "ll" || n == "q")
        return appendPrintf(out, specWith(c, "ll", c.type), va_arg(args.list, unsigned long long));
    if (n == "j")
        return appendPrintf(out, specWith(c, "j", c.type), va_arg(args.list, uintmax_t));
    if (n == "z")
        return appendPrintf(out, specWith(c, "z", c.type), va_arg(args.list, size_t));
    if (n == "t")
        return appendPrintf(out, specWith(c, "t", c.type), va_arg(args.list, std::make_unsigned_t<ptrdiff_t>));
    return false;
}

bool appendFloating(std::string& out, const Conversion& c, Arguments& args)
{
    if (c.length.empty() || c.length == "l")
        return appendPrintf(out, specWith(c, "", c.type), va_arg(args.list, double));
    if (c.length == "L")
        return appendPrintf(out, specWith(c, "L", c.type), va_arg(args.list, long double));
    return false;
}

bool appendObject(std::string& out, const Conversion& c, Arguments& args)
{
    const auto object = va_arg(args.list, CFTypeRef);
    const std::string text = object == nullptr ? "(null)" : asObject(object)->describe();
    return appendPrintf(out, specWith(c, "", 's'), text.c_str());
}

bool appendConversion(std::string& out, const Conversion& c, Arguments& args)
{
    if (isOneOf(c.type, "di"))
        return appendSigned(out, c, args);
    if (isOneOf(c.type, "ouxX"))
        return appendUnsigned(out, c, args);
    if (isOneOf(c.type, "eEfFgGaA"))
        return appendFloating(out, c, args);
    if (!c.length.empty())
        return false;
    switch (c.type)
    {
        case 'c': return appendPrintf(out, specWith(c, "", 'c'), va_arg(args.list, int));
        case 's': return appendPrintf(out, specWith(c, "", 's'), va_arg(args.list, const char*));
        case 'p': return appendPrintf(out, specWith(c, "", 'p'), va_arg(args.list, void*));
        case '@': return appendObject(out, c, args);
        case '%': out += '%'; return true;
        default: return false; // %n among them: nothing writes through the arguments
    }
}


bool appendAll(std::string_view format, Arguments& args, std::string& out)
{
    for (size_t pos = 0; pos < format.size();)
    {
        const size_t percent = std::min(format.find('%', pos), format.size());
        out.append(format.substr(pos, percent - pos));
        if (percent == format.size())
            break;
        pos = percent + 1;
        Conversion conversion;
        if (!parseConversion(format, pos, args, conversion) || !appendConversion(out, conversion, args))
            return false;
    }
    return true;
}
} // namespace

bool formatText(std::string_view format, va_list arguments, std::string& out)
{
    Arguments args;
    va_copy(args.list, arguments);
    bool formatted = false;
    try
    {
        formatted = appendAll(format, args, out);
    }
    catch (...)
    {
        va_end(args.list);
        throw;
    }
    va_end(args.list);
    return formatted && encodings::isValidUTF8(out);
}

} // namespace platform
