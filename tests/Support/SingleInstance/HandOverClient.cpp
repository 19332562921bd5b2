#include "Support/SingleInstance/HandOverClient.h"

#include "HandOverProtocol.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kvxtest
{

int connectToCopy(const std::filesystem::path& socketPath)
{
    sockaddr_un address;
    if (! HandOverProtocol::makeAddress(socketPath.c_str(), address))
        return -1;

    const int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval bound { 60, 0 };
    setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));

    if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
        return connection;

    close(connection);
    return -1;
}

int connectWholeStart(const std::filesystem::path& socketPath, const std::string& commandLine)
{
    const int start = connectToCopy(socketPath);
    const HandOverProtocol::Header header { HandOverProtocol::magic, (std::uint32_t) commandLine.size() };
    std::string message(reinterpret_cast<const char*>(&header), sizeof(header));
    message += commandLine;

    if (start >= 0 && send(start, message.data(), message.size(), MSG_NOSIGNAL) == (ssize_t) message.size())
        return start;

    if (start >= 0)
        close(start);

    return -1;
}

bool waitUntilRead(int start)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int unread = -1;

    while (ioctl(start, SIOCOUTQ, &unread) == 0 && unread > 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    return unread == 0;
}

char answerTo(int start)
{
    char answer = 0;
    recv(start, &answer, 1, 0);
    close(start);
    return answer;
}

} // namespace kvxtest
