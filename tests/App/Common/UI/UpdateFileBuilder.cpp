#include "UpdateFileBuilder.h"

#include "Support/Crc16Xmodem.h"

namespace uitest
{

namespace
{
constexpr size_t fileHeaderSize = 36;
constexpr size_t sectionHeaderSize = 36;
constexpr size_t crcSize = 2;
const char model[] = "KVX-TN ";

void appendLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> sectionHeader(size_t size, uint8_t sendFlag)
{
    std::vector<uint8_t> header(sectionHeaderSize, ' ');
    std::copy(model, model + 7, header.begin());
    header[15] = sendFlag;
    const char sectionVersion[] = "0102";
    std::copy(sectionVersion, sectionVersion + 4, header.begin() + 20);
    header.resize(32);
    appendLittleEndian(header, static_cast<uint32_t>(size), 4);
    return header;
}
} // namespace

std::vector<uint8_t> UpdateFileParts::build() const
{
    std::vector<uint8_t> bytes(fileHeaderSize, 0);
    const char name[] = "KVX-TN firmware";
    std::copy(name, name + sizeof(name) - 1, bytes.begin());
    std::copy(versionDigits.begin(), versionDigits.begin() + std::min<size_t>(3, versionDigits.size()), bytes.begin() + 20);

    for (size_t s = 0; s < sections.size(); ++s)
    {
        const auto header = sectionHeader(sections[s].size(), sendFlags[s]);
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.insert(bytes.end(), sections[s].begin(), sections[s].end());
        appendLittleEndian(bytes, kvxtest::crc16Xmodem(sections[s].data(), sections[s].size()), 2);
    }

    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

size_t UpdateFileParts::headerOffset(int section) const
{
    size_t offset = fileHeaderSize;

    for (int s = 0; s < section; ++s)
        offset += sectionHeaderSize + sections[(size_t) s].size() + crcSize;

    return offset;
}

size_t UpdateFileParts::dataOffset(int section) const
{
    return headerOffset(section) + sectionHeaderSize;
}

size_t UpdateFileParts::crcOffset(int section) const
{
    return dataOffset(section) + sections[(size_t) section].size();
}

std::vector<uint8_t> testPattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);

    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 62);

    return bytes;
}

//==============================================================================
juce::File fileBesideExecutable(const juce::String& name)
{
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getParentDirectory().getChildFile(name);
}

FileBesideExecutable::FileBesideExecutable(const juce::String& name, const std::vector<uint8_t>& bytes)
    : file(fileBesideExecutable(name))
{
    replace(bytes);
}

FileBesideExecutable::~FileBesideExecutable()
{
    remove();
}

void FileBesideExecutable::replace(const std::vector<uint8_t>& bytes) const
{
    // replaceWithData would delete the file for 0 bytes.
    file.deleteRecursively();
    juce::FileOutputStream out(file);

    if (! bytes.empty())
        out.write(bytes.data(), bytes.size());
}

void FileBesideExecutable::remove() const
{
    file.deleteRecursively();
}

} // namespace uitest
