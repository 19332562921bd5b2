// Update files for the tests: sound ones built from their parts, and the byte
// positions that a test changes to make one faulty.
#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace uitest
{

struct UpdateFileParts
{
    std::string versionDigits = "123";                 // file header bytes 20 to 22
    std::array<std::vector<uint8_t>, 3> sections;      // each section's data
    std::array<uint8_t, 3> sendFlags { 'Y', 'Y', 'Y' }; // section header byte 15
    std::vector<uint8_t> trailer;                      // bytes after the third CRC

    std::vector<uint8_t> build() const;

    // Positions in the built file.
    size_t headerOffset(int section) const;   // the section's 36-byte header
    size_t dataOffset(int section) const;
    size_t crcOffset(int section) const;      // its two CRC bytes, low byte first
};

// size bytes that differ from section to section and from block to block.
std::vector<uint8_t> testPattern(size_t size, uint8_t seed);

// A file beside the test executable, where the application looks for its
// update file; removed again at the end of the scope.
class FileBesideExecutable
{
public:
    FileBesideExecutable(const juce::String& name, const std::vector<uint8_t>& bytes);
    ~FileBesideExecutable();

    void replace(const std::vector<uint8_t>& bytes) const;
    void remove() const;
    const juce::File& getFile() const { return file; }

private:
    juce::File file;
};

juce::File fileBesideExecutable(const juce::String& name);

} // namespace uitest
