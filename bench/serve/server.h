// The page server: one page and a small JSON interface over a Session, on the loopback address only, and the
// loop that runs the host's cycles while the page is open.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "session.h"

namespace bench::serve {

struct ServerOptions {
    // Time between host cycles; zero runs none by itself (cycles then come only from frame requests).
    std::chrono::milliseconds cycle_period{55};
    // Largest request body accepted; a larger one is refused with 400.
    size_t body_limit = 4096;
};

class PageServer {
public:
    PageServer(Session& session, ServerOptions options);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // Binds 127.0.0.1 at `port`, or at a port the system picks when it is 0. Returns the port, or -1 with
    // `error` set.
    int bind(int port, std::string* error);
    // Starts serving requests and running cycles, each on a thread of its own.
    void start();
    // Stops both and waits for them; requests under way finish first.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace bench::serve
