#include "serve.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pthread.h>

#include "host.h"
#include "server.h"
#include "session.h"

namespace bench::serve {

namespace {

constexpr int kBadInput = 2;

}  // namespace

int serve_gauge(const std::string& path, const std::string& name, int port) {
    std::string error;
    auto module = LoadedModule::load(path, &error);
    if (!module) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return kBadInput;
    }
    Host host(*module);
    if (!host.install_or_refuse(&error)) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return kBadInput;
    }
    host.initialize();

    // Ctrl-C and SIGTERM are taken by this thread alone, with sigwait; every thread started below inherits
    // the mask, so no handler runs in the middle of a module call.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    Session session(host, name);
    PageServer server(session, ServerOptions{});
    const int bound = server.bind(port, &error);
    if (bound < 0) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        host.kill();
        return kBadInput;
    }
    server.start();
    std::printf("gaugebench: serving \"%s\" from %s at http://127.0.0.1:%d/ (Ctrl-C stops)\n", module->header()->name,
                module->path().c_str(), bound);
    std::fflush(stdout);

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.stop();
    host.kill();
    std::printf("gaugebench: stopped on %s\n", signal_number == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}

}  // namespace bench::serve
