// The update-file check of a 16 MiB file (every size within the 24 bits of the
// start report) beside reading the same file whole from the page cache, the
// least that the check has to do. Median of alternating rounds.
#include "BenchFigures.h"
#include "ComponentUpdate.h"

#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{

using namespace bench;

constexpr size_t fileSize = 16 << 20;
constexpr int rounds = 21;
const juce::String checkedName("bench-check.upd");

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "update_file_check: %s\n", what);
    std::exit(1);
}

// As the check reads: a buffer of the file's length, filled by one read.
void readWhole(const juce::File& file)
{
    const int fd = open(file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC);
    const auto length = static_cast<size_t>(lseek(fd, 0, SEEK_END));
    lseek(fd, 0, SEEK_SET);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[length]);
    const bool whole = read(fd, buffer.get(), length) == static_cast<ssize_t>(length);
    close(fd);
    if (! whole)
        fail("the file did not read whole");
}

template <typename Work>
double timeOf(Work&& work)
{
    const auto start = Clock::now();
    work();
    return microsecondsBetween(start, Clock::now()) / 1000.0;
}

} // namespace

int main()
{
    startMessageThread(true);
    const auto updateFile = placeUpdateFile(fileSize);
    // The component checks its own file once; the rounds check a copy under another name.
    uitest::MainComponentProbe component;
    const auto checked = uitest::fileBesideExecutable(checkedName);
    if (! updateFile->getFile().copyFileTo(checked))
        fail("cannot copy the update file");

    readWhole(checked);
    std::vector<double> checks, reads;
    for (int round = 0; round < rounds; ++round)
    {
        checks.push_back(timeOf([&] {
            if (component.checkUPD(checkedName, uitest::MainComponentProbe::modelName, nullptr) != (int) fileSize - 150)
                fail("the check refused the file");
        }));
        reads.push_back(timeOf([&] { readWhole(checked); }));
    }
    checked.deleteFile();

    const double check = spreadOf(checks).median;
    const double pageCache = spreadOf(reads).median;
    printRow("update-file check, 16 MiB", figure(check, 2, "ms"), "cached read " + figure(pageCache, 2, "ms"),
             "<= 3 x read (" + figure(check / pageCache, 2, "x") + ")", check <= 3 * pageCache);
    return 0;
}
