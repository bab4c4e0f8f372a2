#include "serve.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pthread.h>

#include "host.h"
#include "module_names.h"
#include "server.h"
#include "session.h"

namespace bench::serve {

namespace {

constexpr int kBadInput = 2;

int usage(const char* problem) {
    std::fprintf(stderr, "gaugebench serve: %s\nusage: gaugebench serve MODULE [--port N]\n", problem);
    return kBadInput;
}

}  // namespace

int serve_command(int argc, char** argv) {
    if (argc < 3) return usage("MODULE is missing");
    std::string module_arg;
    int port = kDefaultPort;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port") {
            if (i + 1 >= argc) return usage("--port needs a number");
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 65535)
                return usage(("--port is \"" + std::string(argv[i]) + "\", expected 0 to 65535").c_str());
            port = static_cast<int>(value);
        } else if (module_arg.empty() && arg.rfind("--", 0) != 0) {
            module_arg = arg;
        } else {
            return usage(("unexpected argument \"" + arg + "\"").c_str());
        }
    }
    if (module_arg.empty()) return usage("MODULE is missing");

    std::string error;
    const std::string path = resolve_module(module_arg, argv[0]);
    auto module = LoadedModule::load(path, &error);
    if (!module) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return kBadInput;
    }
    Host host(*module);
    host.install();
    if (!host.refusal().empty()) {
        std::fprintf(stderr, "gaugebench: %s: %s\n", module->path().c_str(), host.refusal().c_str());
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

    Session session(host, module_arg);
    PageServer server(session, ServerOptions{});
    const int bound = server.bind(port, &error);
    if (bound < 0) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        host.kill();
        return kBadInput;
    }
    server.start();
    std::printf("gaugebench: serving \"%s\" from %s at http://127.0.0.1:%d/ (Ctrl-C stops)\n",
                module->header()->name, module->path().c_str(), bound);
    std::fflush(stdout);

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.stop();
    host.kill();
    std::printf("gaugebench: stopped on %s\n", signal_number == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}

}  // namespace bench::serve
