#include <CoreFoundation/CFPropertyList.h>

#include "CoreFoundation/CFPropertyListScalars.h"
#include "CoreFoundation/Object.h"
#include "IOKit/Retained.h"

#include <CoreFoundation/CoreFoundation.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

using platform::Retained;

namespace
{
using Value = Retained<CFPropertyListRef>;

struct DocumentDeleter
{
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

struct ParserContextDeleter
{
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using ParserContext = std::unique_ptr<xmlParserCtxt, ParserContextDeleter>;

bool isNamed(const xmlNode* node, const char* name)
{
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isBlankText(const xmlNode* node)
{
    return (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) && xmlIsBlankNode(node);
}

// Comments and processing instructions may stand anywhere; they carry nothing.
bool isIgnorable(const xmlNode* node)
{
    return node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE;
}

// Turns the elements of an XML property list into CF objects, or notes why it cannot.
class PropertyListReader
{
public:
    explicit PropertyListReader(CFOptionFlags mutabilityOption) : mutability(mutabilityOption) {}

    Value readDocument(const xmlDoc* document)
    {
        const xmlNode* root = xmlDocGetRootElement(document);
        if (root == nullptr)
            return failure("no root element");
        if (!isNamed(root, "plist"))
            return readValue(root);
        const xmlNode* only = nullptr;
        for (const xmlNode* child = root->children; child != nullptr; child = child->next)
        {
            if (!isPassable(child))
                return {};
            if (child->type == XML_ELEMENT_NODE && std::exchange(only, child) != nullptr)
                return failure("more than one value in <plist>");
        }
        return only != nullptr ? readValue(only) : failure("empty <plist>");
    }

    const std::string& fault() const { return why; }

private:
    Value readValue(const xmlNode* node)
    {
        if (isNamed(node, "dict"))
            return readDictionary(node);
        if (isNamed(node, "array"))
            return readArray(node);
        if (isNamed(node, "true") || isNamed(node, "false"))
            return readBoolean(node);
        std::string text;
        if (!textOf(node, text))
            return {};
        if (isNamed(node, "string"))
            return makeString(text);
        if (isNamed(node, "integer"))
            return makeInteger(text);
        if (isNamed(node, "real"))
            return makeReal(text);
        if (isNamed(node, "data"))
            return makeData(text);
        if (isNamed(node, "date"))
            return makeDate(text);
        return failure(std::string("unknown element <") + reinterpret_cast<const char*>(node->name) + ">");
    }

    Value readDictionary(const xmlNode* node)
    {
        auto dictionary = Retained<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        Value key;
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        {
            if (!isPassable(child))
                return {};
            if (child->type != XML_ELEMENT_NODE)
                continue;
            if (!key)
            {
                key = readKey(child);
                if (!key)
                    return {};
                continue;
            }
            const auto value = readValue(child);
            if (!value)
                return {};
            CFDictionarySetValue(dictionary.get(), key.get(), value.get());
            key = {};
        }
        if (key)
            return failure("a <key> without a value");
        return finishContainer(Value::retain(dictionary.get()), CFDictionaryCreateCopy);
    }

    Value readKey(const xmlNode* node)
    {
        std::string text;
        if (!isNamed(node, "key"))
            return failure("a value where a <key> belongs");
        return textOf(node, text) ? makeString(text) : Value {};
    }

    Value readArray(const xmlNode* node)
    {
        auto array = Retained<CFMutableArrayRef>::adopt(
            CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        {
            if (!isPassable(child))
                return {};
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const auto value = readValue(child);
            if (!value)
                return {};
            CFArrayAppendValue(array.get(), value.get());
        }
        return finishContainer(Value::retain(array.get()), CFArrayCreateCopy);
    }

    template <typename Container>
    Value finishContainer(Value container, Container (*copy)(CFAllocatorRef, Container))
    {
        if (mutability != kCFPropertyListImmutable)
            return container;
        return Value::adopt(copy(kCFAllocatorDefault, static_cast<Container>(container.get())));
    }

    Value readBoolean(const xmlNode* node)
    {
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
            if (!isIgnorable(child) && !isBlankText(child))
                return failure("content in <true/> or <false/>");
        return Value::retain(isNamed(node, "true") ? kCFBooleanTrue : kCFBooleanFalse);
    }

    // Whatever may stand between the values of a container.
    bool isPassable(const xmlNode* node)
    {
        if (node->type == XML_ELEMENT_NODE || isIgnorable(node) || isBlankText(node))
            return true;
        failure(node->type == XML_ENTITY_REF_NODE ? "an entity reference" : "text between values");
        return false;
    }

    // The text of a scalar element: its text children joined. Entity references
    // are refused rather than expanded, so that no nesting of entities can blow up.
    bool textOf(const xmlNode* node, std::string& text)
    {
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
                text += reinterpret_cast<const char*>(child->content);
            else if (!isIgnorable(child))
            {
                failure(child->type == XML_ENTITY_REF_NODE ? "an entity reference" : "an element inside a scalar");
                return false;
            }
        }
        return true;
    }

    //==============================================================================
    Value makeString(const std::string& text)
    {
        const auto* bytes = reinterpret_cast<const UInt8*>(text.data());
        auto string = Value::adopt(CFStringCreateWithBytes(kCFAllocatorDefault, bytes, static_cast<CFIndex>(text.size()),
                                                           kCFStringEncodingUTF8, false));
        if (!string)
            return failure("a string that is not UTF-8");
        if (mutability != kCFPropertyListMutableContainersAndLeaves)
            return string;
        return Value::adopt(CFStringCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFStringRef>(string.get())));
    }

    Value makeInteger(const std::string& text)
    {
        const auto value = platform::plist::parseInteger(text);
        if (!value)
            return failure("an integer that is malformed or out of range: " + text);
        return Value::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &*value));
    }

    Value makeReal(const std::string& text)
    {
        const auto value = platform::plist::parseReal(text);
        if (!value)
            return failure("a malformed real: " + text);
        return Value::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &*value));
    }

    Value makeData(const std::string& text)
    {
        const auto bytes = platform::plist::decodeBase64(text);
        if (!bytes)
            return failure("data that is not base64");
        return Value::adopt(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes->data()),
                                         static_cast<CFIndex>(bytes->size())));
    }

    Value makeDate(const std::string& text)
    {
        const auto time = platform::plist::parseDate(text);
        if (!time)
            return failure("a malformed date: " + text);
        return Value::adopt(CFDateCreate(kCFAllocatorDefault, *time));
    }

    Value failure(std::string reason)
    {
        if (why.empty())
            why = std::move(reason);
        return {};
    }

    const CFOptionFlags mutability;
    std::string why;
};

// Keeps the first of a parse's errors, which says best what went wrong. The
// context's _private holds the parse's message.
void keepFirstError(void* parser, xmlErrorPtr error)
{
    auto& message = *static_cast<std::string*>(static_cast<xmlParserCtxt*>(parser)->_private);
    if (message.empty() && error != nullptr && error->message != nullptr)
        message.assign(error->message, std::strcspn(error->message, "\n"));
}

// libxml2 raises some errors (a failed encoding conversion) without a parser
// context, to the thread's handler, which prints them unless one is set: while
// a parse runs, it is pointed at that parse.
class ThreadErrorsToParse
{
public:
    explicit ThreadErrorsToParse(xmlParserCtxt* parser)
        : savedHandler(xmlStructuredError), savedContext(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(parser, keepFirstError);
    }
    ~ThreadErrorsToParse() { xmlSetStructuredErrorFunc(savedContext, savedHandler); }
    ThreadErrorsToParse(const ThreadErrorsToParse&) = delete;
    ThreadErrorsToParse& operator=(const ThreadErrorsToParse&) = delete;

private:
    const xmlStructuredErrorFunc savedHandler;
    void* const savedContext;
};

// Null when the data is no well-formed XML, with libxml2's reason in fault.
Document parseXML(CFDataRef xmlData, std::string& fault)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });

    const CFIndex length = CFDataGetLength(xmlData);
    if (length > INT_MAX)
    {
        fault = "larger than 2 GiB";
        return nullptr;
    }
    ParserContext parser(xmlNewParserCtxt());
    if (parser == nullptr)
        throw std::bad_alloc();
    // Errors go to the parse, never to the console.
    parser->_private = &fault;
    parser->sax->serror = keepFirstError;
    // No network, no DTD, no entity substitution.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    ThreadErrorsToParse routed(parser.get());
    return Document(xmlCtxtReadMemory(parser.get(), reinterpret_cast<const char*>(CFDataGetBytePtr(xmlData)),
                                      static_cast<int>(length), nullptr, nullptr, options));
}

void report(CFStringRef* errorString, const std::string& fault)
{
    if (errorString != nullptr)
        *errorString = CFStringCreateWithCString(kCFAllocatorDefault, fault.c_str(), kCFStringEncodingUTF8);
}

CFPropertyListRef createFromXML(CFDataRef xmlData, CFOptionFlags mutabilityOption, CFStringRef* errorString)
{
    std::string fault;
    const auto document = parseXML(xmlData, fault);
    if (document == nullptr)
    {
        report(errorString, fault.empty() ? "not well-formed XML" : "not well-formed XML: " + fault);
        return nullptr;
    }
    PropertyListReader reader(mutabilityOption);
    auto list = reader.readDocument(document.get());
    if (!list)
        report(errorString, "not a property list: " + reader.fault());
    return list.release();
}
} // namespace

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef, CFDataRef xmlData, CFOptionFlags mutabilityOption,
                                                  CFStringRef* errorString)
{
    if (errorString != nullptr)
        *errorString = nullptr;
    if (xmlData == nullptr || CFGetTypeID(xmlData) != CFDataGetTypeID())
    {
        report(errorString, "no data");
        return nullptr;
    }
    return platform::noThrow<CFPropertyListRef>(nullptr,
                                                [&] { return createFromXML(xmlData, mutabilityOption, errorString); });
}
