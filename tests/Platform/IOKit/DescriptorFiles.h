// The report descriptors kept as data files beside the tests: hex pairs, with
// "#" starting a comment that runs to the end of the line, and a readable
// summary of what each describes in a .txt file of the same name.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platformtest
{

inline const std::filesystem::path& descriptorFolder()
{
    static const auto folder = std::filesystem::path(__FILE__).parent_path() / "descriptors";
    return folder;
}

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<uint8_t> readHexFile(const std::filesystem::path& path)
{
    std::vector<uint8_t> bytes;
    std::istringstream lines(readText(path));
    for (std::string line; std::getline(lines, line);)
    {
        std::istringstream words(line.substr(0, line.find('#')));
        for (std::string word; words >> word;)
            bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

// The .hex files of a folder in name order; none when there is no such folder.
inline std::vector<std::filesystem::path> hexFilesIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(folder))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".hex")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace platformtest
