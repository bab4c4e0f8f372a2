// gaugebench serve MODULE [--port N]
#include "commands.h"
#include "gauge_list.h"
#include "serve.h"

namespace bench::cli {

Command add_serve_command(CLI::App& program, const char* argv0) {
    struct ServeOptions {
        std::string module;
        int port = serve::kDefaultPort;
    };
    auto options = std::make_shared<ServeOptions>();
    CLI::App* app = program.add_subcommand("serve", "Serve a page on 127.0.0.1 to work the gauge by hand.");
    app->add_option("MODULE", options->module, module_help())->required();
    app->add_option("--port", options->port, "the port to listen on; 0 lets the system choose")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str()
        ->type_name("N");
    return {app, [options, argv0] {
                return serve::serve_gauge(resolve_module(options->module, argv0), options->module, options->port);
            }};
}

}  // namespace bench::cli
