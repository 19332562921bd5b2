// MainComponent: the update file beside the executable, and the update sequence
// that writes it into the controller on the update thread.
#include "MainComponent.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
// Layout of the update file: a 36-byte file header, then three sections, each a
// 36-byte section header, the data and its CRC-16, low byte first.
constexpr int fileHeaderSize = 36;
constexpr int sectionHeaderSize = 36;
constexpr int crcSize = 2;
constexpr int numSections = 3;
constexpr int headersAndCrcsSize = fileHeaderSize + numSections * (sectionHeaderSize + crcSize);
constexpr int versionOffset = 20;
constexpr int sendFlagOffset = 15;
constexpr int sizeOffset = 32;
constexpr int modelSize = 7;

// CmdStart carries every size in 24 bits.
constexpr juce::int64 largestSize = 0xFFFFFF;
constexpr juce::int64 longestFile = largestSize + headersAndCrcsSize;

// The update protocol.
enum CommandCode : juce::uint8
{
    CmdStart = 0xF0,
    CmdSection = 0xF1,
    CmdFinish = 0xF2,
    CmdData = 0xF3
};

enum ReplyCode : juce::uint8
{
    RspFinishBusy = 0xF7,
    RspStartAck = 0xF8,
    RspAck = 0xF9,
    RspSectionEndAlt = 0xFB,
    RspFinishDone = 0xFC,
    RspSectionEnd = 0xFE
};

constexpr int reportSize = 64;
constexpr juce::uint32 blockPayload = reportSize - 2;
constexpr int finishPauseMs = 100;

using Report = std::array<juce::uint8, reportSize>;

//==============================================================================
/** The folder of the real executable, links resolved, however the program was
    started: the name it was started by may be a link in another folder, and its
    resources lie beside the real one. Bytes as the system gives them, kept so
    up to the open: a folder's name need not be UTF-8, and JUCE cannot decode
    every other name. With its trailing slash; empty when unknown.
*/
std::string getExecutableFolder()
{
    std::vector<char> path (PATH_MAX);
    const auto length = ::readlink ("/proc/self/exe", path.data(), path.size());

    if (length <= 0 || (size_t) length == path.size())
        return {};

    const std::string executable (path.data(), (size_t) length);
    return executable.substr (0, executable.rfind ('/') + 1);
}

/** A regular file open for reading, closed when it goes. */
struct RegularFile
{
    explicit RegularFile (int descriptor) : fd (descriptor) {}
    ~RegularFile() { ::close (fd); }

    const int fd;
    juce::int64 length = 0;

    JUCE_DECLARE_NON_COPYABLE (RegularFile)
};

/** The update file, or null when no regular file of that name exists or it
    cannot be opened.
*/
std::unique_ptr<RegularFile> openUpdateFile (const juce::String& name)
{
    const auto folder = getExecutableFolder();

    if (folder.empty())
        return nullptr;

    const auto path = folder + name.toStdString();

    // Opened without blocking and kept only when regular: a FIFO of that name
    // would hold a blocking open until some writer came, before any window and
    // deaf to a quit, and a device need not end.
    const int fd = ::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);

    if (fd < 0)
        return nullptr;

    auto file = std::make_unique<RegularFile> (fd);
    struct stat info {};

    if (::fstat (fd, &info) != 0 || ! S_ISREG (info.st_mode))
        return nullptr;

    file->length = info.st_size;
    return file;
}

/** True when all size bytes from offset were read: a file shortened meanwhile
    gives false, never bytes from outside it.
*/
bool readAt (const RegularFile& file, juce::int64 offset, juce::uint8* buffer, int size)
{
    while (size > 0)
    {
        const auto got = ::pread (file.fd, buffer, (size_t) size, (off_t) offset);

        if (got <= 0)
            return false;

        buffer += got;
        offset += got;
        size -= (int) got;
    }

    return true;
}

/** The whole file, or nothing when it cannot be read whole or is longer than the
    format can describe: such a file is refused unread, so that memory stays as
    for a sound file.
*/
bool readWholeFile (const RegularFile& file, juce::HeapBlock<juce::uint8>& buffer, int& length)
{
    if (file.length > longestFile)
        return false;

    length = (int) file.length;

    buffer.allocate ((size_t) juce::jmax (1, length), false);

    return buffer != nullptr && readAt (file, 0, buffer, length);
}

juce::uint32 readUInt32 (const juce::uint8* bytes)
{
    return (juce::uint32) bytes[0] | ((juce::uint32) bytes[1] << 8)
         | ((juce::uint32) bytes[2] << 16) | ((juce::uint32) bytes[3] << 24);
}

void write24 (juce::uint8* bytes, juce::uint32 value)
{
    bytes[0] = (juce::uint8) value;
    bytes[1] = (juce::uint8) (value >> 8);
    bytes[2] = (juce::uint8) (value >> 16);
}

void write16 (juce::uint8* bytes, juce::uint16 value)
{
    bytes[0] = (juce::uint8) value;
    bytes[1] = (juce::uint8) (value >> 8);
}

// Slicing by sixteen: table k gives a byte's CRC after k more zero bytes, so that
// sixteen bytes take sixteen independent lookups instead of a chain of sixteen.
using CrcTables = std::array<std::array<juce::uint16, 256>, 16>;

constexpr CrcTables makeCrcTables()
{
    CrcTables tables {};

    for (int byte = 0; byte < 256; ++byte)
    {
        juce::uint16 crc = (juce::uint16) (byte << 8);

        for (int bit = 0; bit < 8; ++bit)
            crc = (juce::uint16) ((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);

        tables[0][(size_t) byte] = crc;
    }

    for (size_t k = 1; k < tables.size(); ++k)
        for (size_t byte = 0; byte < 256; ++byte)
            tables[k][byte] = (juce::uint16) ((tables[k - 1][byte] << 8) ^ tables[0][tables[k - 1][byte] >> 8]);

    return tables;
}

constexpr auto crcTables = makeCrcTables();
}

MainComponent::UpdateTimeouts MainComponent::m_timeouts = MainComponent::controllerTimeouts;

const MainComponent::UpdateWaits MainComponent::threadWaits {
    [] (const juce::WaitableEvent& reply, int timeoutMs) { return reply.wait (timeoutMs); },
    [] (const juce::Thread& updateThread, int pauseMs) { return updateThread.wait (pauseMs); }
};

MainComponent::UpdateWaits MainComponent::m_waits = MainComponent::threadWaits;

//==============================================================================
juce::uint16 MainComponent::calcCRC (juce::uint8 const* data, int length)
{
    const auto& t = crcTables;
    juce::uint16 crc = 0;
    int i = 0;

    for (; i + 16 <= length; i += 16)
    {
        const auto* d = data + i;
        crc = (juce::uint16) (t[15][(d[0] ^ (crc >> 8)) & 0xFF] ^ t[14][(d[1] ^ crc) & 0xFF]
                            ^ t[13][d[2]] ^ t[12][d[3]] ^ t[11][d[4]] ^ t[10][d[5]] ^ t[9][d[6]] ^ t[8][d[7]]
                            ^ t[7][d[8]] ^ t[6][d[9]] ^ t[5][d[10]] ^ t[4][d[11]] ^ t[3][d[12]] ^ t[2][d[13]]
                            ^ t[1][d[14]] ^ t[0][d[15]]);
    }

    for (; i < length; ++i)
        crc = (juce::uint16) ((crc << 8) ^ t[0][(size_t) (((crc >> 8) ^ data[i]) & 0xFF)]);

    return crc;
}

juce::uint8 MainComponent::ConvertAsciiToHex (juce::uint8 c)
{
    if (c >= '0' && c <= '9')   return (juce::uint8) (c - '0');
    if (c >= 'a' && c <= 'f')   return (juce::uint8) (c - 'a' + 10);
    if (c >= 'A' && c <= 'F')   return (juce::uint8) (c - 'A' + 10);
    return 0;
}

int MainComponent::checkUPD (juce::String const& name, juce::uint8 const* model, int* version)
{
    if (version != nullptr)
        *version = -1;

    auto file = openUpdateFile (name);

    if (file == nullptr)
        return 0;

    juce::HeapBlock<juce::uint8> content;
    int length = 0;

    if (! readWholeFile (*file, content, length) || length < fileHeaderSize)
        return 0;

    file.reset();

    // The digits are not tested: each byte counts as its value less '0'.
    if (version != nullptr)
        *version = (content[versionOffset] - '0') * 100 + (content[versionOffset + 1] - '0') * 10
                 + (content[versionOffset + 2] - '0');

    juce::int64 pos = fileHeaderSize;

    for (int s = 0; s < numSections; ++s)
    {
        if (pos + sectionHeaderSize > length || std::memcmp (content + pos, model, modelSize) != 0)
            return 0;

        m_secSend[s] = content[pos + sendFlagOffset] == 'Y' ? 1 : 0;
        m_secSize[s] = readUInt32 (content + pos + sizeOffset);

        const juce::int64 size = m_secSize[s];
        const auto data = pos + sectionHeaderSize;

        if (size > largestSize || data + size + crcSize > length)
            return 0;

        m_secCrc[s] = calcCRC (content + data, (int) size);
        const auto storedCrc = (juce::uint16) (content[data + size] | (content[data + size + 1] << 8));

        if (storedCrc != m_secCrc[s])
            return 0;

        pos = data + size + crcSize;
    }

    return length - headersAndCrcsSize;
}

//==============================================================================
void MainComponent::run()
{
    postRequest (SeqUpdating);
    m_progress = 0.0;

    bool success = sendStart();

    if (success)
    {
        success = sendSections();
        // The finish also follows a failed section, and cannot undo its failure.
        success = finishUpdate() && success;
    }

    postRequest (success ? SeqComplete : SeqError);
}

MainComponent::Reply MainComponent::exchange (juce::uint8* report, int timeoutMs)
{
    // Without a controller nothing goes out, and the wait runs into its time-out.
    m_hid->setData (report, reportSize);

    if (! m_waits.forReply (m_event, timeoutMs))
        return {};

    m_event.reset();

    const juce::ScopedLock sl (m_lock);

    // Woken by an attachment, a removal or a quit, the wait gets no answer to its
    // report. It fails as a time-out does: at the section wait a mere other
    // reply would skip the section, and an update that never wrote it could end
    // as a success.
    if (std::exchange (m_waitAborted, false))
        return {};

    return { true, m_response[0], m_response[1] };
}

bool MainComponent::sendStart()
{
    Report report {};
    report[0] = CmdStart;
    report[2] = (juce::uint8) ((m_updVersion & 0xFF0) >> 4);
    report[3] = (juce::uint8) ((m_updVersion & 0x00F) << 4);
    write24 (&report[4], (juce::uint32) m_updSize);

    for (int s = 0; s < numSections; ++s)
    {
        auto* descriptor = &report[(size_t) (7 + 6 * s)];
        descriptor[0] = (juce::uint8) ((s + 1) | (m_secSend[s] == 1 ? 0x80 : 0));
        write24 (descriptor + 1, m_secSize[s]);
        write16 (descriptor + 4, m_secCrc[s]);
    }

    const auto reply = exchange (report.data(), m_timeouts.replyMs);
    return reply.arrived && reply.code == RspStartAck;
}

bool MainComponent::sendSections()
{
    juce::int64 offset = fileHeaderSize + sectionHeaderSize;

    for (int s = 0; s < numSections; ++s)
    {
        if (! sendSection (s, offset))
            return false;

        offset += (juce::int64) m_secSize[s] + crcSize + sectionHeaderSize;
    }

    return true;
}

bool MainComponent::sendSection (int s, juce::int64 offset)
{
    juce::HeapBlock<juce::uint8> data;
    data.allocate ((size_t) juce::jmax (1u, m_secSize[s]), false);

    // Every section is read, marked or not: what goes out must be what the check saw.
    if (data == nullptr || ! readSection (s, offset, data))
        return false;

    if (m_secSend[s] != 1)
        return true;

    Report report {};
    report[0] = CmdSection;
    report[1] = (juce::uint8) (s + 1);

    const auto reply = exchange (report.data(), m_timeouts.replyMs);

    if (! reply.arrived)
        return false;

    // Any other answer skips the section without failing the update.
    if (reply.code != RspAck)
        return true;

    return sendDataBlocks (s, data);
}

bool MainComponent::readSection (int s, juce::int64 offset, juce::uint8* buffer) const
{
    const auto file = openUpdateFile (updateFileName);

    // A file changed or shortened since the check must not reach the controller.
    const auto size = (int) m_secSize[s];
    return file != nullptr && readAt (*file, offset, buffer, size) && calcCRC (buffer, size) == m_secCrc[s];
}

bool MainComponent::sendDataBlocks (int s, const juce::uint8* data)
{
    const auto size = m_secSize[s];
    const auto blocks = (size + blockPayload - 1) / blockPayload;

    for (juce::uint32 i = 0; i < blocks; ++i)
    {
        // The controller's percentage trails by one block: it comes with each reply.
        m_progress = m_devicePercent / 100.0;

        Report report {};
        report[0] = CmdData;
        report[1] = (juce::uint8) (s + 1);
        const auto start = i * blockPayload;
        std::memcpy (&report[2], data + start, juce::jmin (blockPayload, size - start));

        const auto reply = exchange (report.data(), m_timeouts.dataBlockMs);
        const bool last = i == blocks - 1;
        const bool accepted = last ? (reply.code == RspSectionEnd || reply.code == RspSectionEndAlt)
                                   : reply.code == RspAck;

        if (! reply.arrived || ! accepted)
            return false;

        m_devicePercent = reply.percent;
    }

    return true;
}

bool MainComponent::finishUpdate()
{
    Report report {};
    report[0] = CmdFinish;

    for (;;)
    {
        const auto reply = exchange (report.data(), m_timeouts.replyMs);

        if (! reply.arrived || (reply.code != RspFinishBusy && reply.code != RspFinishDone))
            return false;

        m_progress = reply.percent / 100.0;
        m_waits.betweenFinishPolls (*this, finishPauseMs);

        if (reply.code == RspFinishDone)
            return true;
    }
}
