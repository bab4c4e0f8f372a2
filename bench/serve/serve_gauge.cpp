#include "serve.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pthread.h>

#include "panel.h"
#include "server.h"
#include "session.h"

namespace bench::serve {

namespace {

constexpr int kBadInput = 2;
constexpr int kModuleCrashed = 3;

}  // namespace

int serve_panel(Panel& panel, const std::string& name, int port) {
    std::string error;
    if (!panel.install(&error)) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return panel.failed_gauge() ? kModuleCrashed : kBadInput;
    }

    // Ctrl-C and SIGTERM are taken by this thread alone, with sigwait; every thread started below inherits
    // the mask, so no handler runs in the middle of a module call.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    Session session(panel, name);
    PageServer server(session, ServerOptions{});
    const int bound = server.bind(port, &error);
    if (bound < 0) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        panel.kill();
        return kBadInput;
    }
    server.start();
    const std::string what = panel.single_gauge() ? "\"" + std::string(panel.gauges()[0].module->header()->name) +
                                                        "\" from " + panel.gauges()[0].module->path()
                                                  : "the panel " + panel.title();
    std::printf("gaugebench: serving %s at http://127.0.0.1:%d/ (Ctrl-C stops)\n", what.c_str(), bound);
    std::fflush(stdout);

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.stop();
    if (!panel.failed_gauge()) panel.kill();
    std::printf("gaugebench: stopped on %s\n", signal_number == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}

}  // namespace bench::serve
