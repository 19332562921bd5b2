// Peak resident memory of the updater while it updates a 16 MiB file against a
// controller that answers at once: from creating the component, whose check
// reads the whole file, to the end of the update. The file is written by a
// child process, so that building it counts in no peak here.
#include "BenchFigures.h"
#include "ComponentUpdate.h"
#include "ControllerEndpoint.h"
#include "PromptController.h"

#include "MainComponentProbe.h"
#include "UpdateFileBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using namespace bench;

constexpr size_t fileSize = 16 << 20;
constexpr double allowanceBytes = 40e6;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "update_memory: %s\n", what);
    std::exit(1);
}

// A field of /proc/self/status in bytes, such as VmHWM (the peak) or VmRSS.
double statusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stod(line.substr(field.size() + 1)) * 1024;
    fail("no such field in /proc/self/status");
}

juce::File updateFile()
{
    return uitest::fileBesideExecutable(uitest::MainComponentProbe::updateFileName);
}

void writeFileInChild()
{
    const pid_t child = fork();
    if (child == 0)
    {
        const auto bytes = updateFileOf(fileSize);
        _exit(updateFile().replaceWithData(bytes.data(), bytes.size()) ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0)
        fail("the update file could not be written");
}

double mebibytes(double bytes)
{
    return bytes / (1 << 20);
}

} // namespace

int main()
{
    writeFileInChild();
    startMessageThread(true);
    VirtualEndpoint controller;
    PromptController prompt;
    controller.answerWith([&prompt](const uint8_t* report, size_t length) { return prompt.answer(report, length); });

    const double beforeComponent = statusBytes("VmRSS");
    if (runUpdate() != SeqComplete)
        fail("the update did not complete");
    const double peak = statusBytes("VmHWM");

    const double limit = fileSize + allowanceBytes;
    printRow("peak memory, updating 16 MiB", figure(mebibytes(peak), 1, "MiB"),
             "before start " + figure(mebibytes(beforeComponent), 1, "MiB"),
             "<= file + 40 MB (" + figure(mebibytes(limit), 1, "MiB") + ")", peak <= limit);
    updateFile().deleteFile();
    return 0;
}
