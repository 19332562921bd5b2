// Arbitrary bytes as the update file: the check reads no byte outside the file,
// and a file it accepts holds three sections whose sizes and CRCs are those it
// reported, within the 24 bits that the start report carries.
#include "FuzzMessageThread.h"
#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include "Support/Crc16Xmodem.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{

using uitest::MainComponentProbe;

constexpr size_t headersAndCrcs = 150;
constexpr size_t largestSize = 0xFFFFFF;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "broken: %s\n", what.c_str());
    std::abort();
}

size_t readSize(const uint8_t* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<size_t>(bytes[3]) << 24);
}

void checkAcceptedFile(const MainComponentProbe& component, const uint8_t* bytes, size_t size, int total)
{
    if (size < headersAndCrcs || static_cast<size_t>(total) != size - headersAndCrcs || size - headersAndCrcs > largestSize)
        fail("total " + std::to_string(total) + " for a file of " + std::to_string(size) + " bytes");

    size_t pos = 36;
    for (int s = 0; s < 3; ++s)
    {
        if (pos + 36 > size)
            fail("section " + std::to_string(s + 1) + " accepted without its header");

        const size_t sectionSize = readSize(bytes + pos + 32);
        const size_t data = pos + 36;

        if (data + sectionSize + 2 > size)
            fail("section " + std::to_string(s + 1) + " accepted without its data");
        const uint16_t crc = kvxtest::crc16Xmodem(bytes + data, sectionSize);

        if (component.getSectionSize(s) != sectionSize || component.getSectionCrc(s) != crc)
            fail("section " + std::to_string(s + 1) + " misreported");
        if ((bytes[data + sectionSize] | (bytes[data + sectionSize + 1] << 8)) != crc)
            fail("section " + std::to_string(s + 1) + " accepted with a wrong CRC");
        pos = data + sectionSize + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static MainComponentProbe* const component = [] {
        fuzzsupport::startMessageThread();
        return new MainComponentProbe();
    }();
    // Parallel fuzzing processes share the folder beside the executable.
    static const juce::String name = "fuzz-" + juce::String(getpid()) + ".upd";
    static const uitest::FileBesideExecutable file(name, {});

    file.replace(std::vector<uint8_t>(bytes, bytes + size));
    int version = 0;
    const int total = component->checkUPD(name, MainComponentProbe::modelName, &version);

    if (total != 0)
        checkAcceptedFile(*component, bytes, size, total);
    else if (size < 36 && version != -1)
        fail("version " + std::to_string(version) + " read from a file of " + std::to_string(size) + " bytes");
    return 0;
}
