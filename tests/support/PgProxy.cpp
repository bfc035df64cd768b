#include "support/PgProxy.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pw::test {

namespace {

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

bool sendAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

} // namespace

PgProxy::PgProxy(const std::string& folder, const std::string& serverFolder)
    : serverSocket_(serverFolder + "/.s.PGSQL.5432")
{
    const sockaddr_un address = addressOf(folder + "/.s.PGSQL.5432");
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listenFd_, 16);
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
        return;
    acceptor_ = std::thread([this] { acceptLoop(); });
}

PgProxy::~PgProxy()
{
    if (stopPipe_[1] >= 0)
        ::close(stopPipe_[1]); // every loop polls the pipe's end and ends
    if (acceptor_.joinable())
        acceptor_.join();
    for (std::thread& thread : threads_)
        thread.join();
    ::close(stopPipe_[0]);
    ::close(listenFd_);
}

void PgProxy::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents)
            return;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            threads_.emplace_back([this, client] { pass(client); });
    }
}

void PgProxy::pass(int client)
{
    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(serverSocket_);
    bool open = ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    bool dropNextReply = false;
    char buffer[65536];
    while (open) {
        pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0 || fds[2].revents)
            break;
        if (fds[0].revents) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            open = n > 0 && sendAll(server, buffer, n);
            if (open && armed_ &&
                std::string_view(buffer, static_cast<std::size_t>(n)).find(needle_) != std::string::npos) {
                armed_ = false;
                dropNextReply = true;
            }
        }
        if (open && fds[1].revents) {
            const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            if (n > 0 && dropNextReply) {
                cut_ = true; // the server has answered: what it did is done, the program never hears it
                break;
            }
            open = n > 0 && sendAll(client, buffer, n);
        }
    }
    ::close(server);
    ::close(client);
}

} // namespace pw::test
