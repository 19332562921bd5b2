// A test's own starts at a running copy's hand-over socket, speaking as a
// later start of the program does.
#pragma once

#include <filesystem>
#include <string>

namespace kvxtest
{

// A connection whose sends and answers give up after a bound that only keeps a
// broken test from hanging; -1 when nothing listens there.
int connectToCopy(const std::filesystem::path& socketPath);

// A connection that has sent a start's whole message with the command line;
// -1 when it could not.
int connectWholeStart(const std::filesystem::path& socketPath, const std::string& commandLine = {});

// True once the copy has read all that the start sent (or closed the
// connection): nothing sent is left queued. False when that took longer than
// the bound.
bool waitUntilRead(int start);

// The answer to a start's connection, which it closes; 0 when there was none.
char answerTo(int start);

} // namespace kvxtest
