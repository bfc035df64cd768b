#pragma once
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace pw::test {

// Stands between the program and a PostgreSQL server on Unix sockets, passing bytes both ways.
// Armed with a text, it lets the first message holding that text through, throws the server's
// reply away and cuts both connections: a commit whose acknowledgement was lost.
class PgProxy {
public:
    // Listens in `folder` (as the server's socket would, port 5432) for `serverFolder`.
    PgProxy(const std::string& folder, const std::string& serverFolder);
    ~PgProxy();
    PgProxy(const PgProxy&) = delete;
    PgProxy& operator=(const PgProxy&) = delete;

    void loseReplyTo(const std::string& text) { needle_ = text, armed_ = true; }
    bool cut() const { return cut_; }

private:
    void acceptLoop();
    void pass(int client);

    std::string serverSocket_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string needle_;
    std::atomic<bool> armed_{false};
    std::atomic<bool> cut_{false};
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

} // namespace pw::test
