// gaugebench serve MODULE [--port N]
#include "commands.h"
#include "gauge_list.h"
#include "serve.h"
#include "target.h"

namespace bench::cli {

Command add_serve_command(CLI::App& program, const char* argv0) {
    struct ServeOptions {
        TargetOptions target;
        int port = serve::kDefaultPort;
    };
    auto options = std::make_shared<ServeOptions>();
    CLI::App* app =
        program.add_subcommand("serve", "Serve a page on 127.0.0.1 to work the gauge (or the panel) by hand.");
    add_target_options(app, options->target, false);
    app->add_option("--port", options->port, "the port to listen on; 0 lets the system choose")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str()
        ->type_name("N");
    return {app, [options, argv0] {
                int status = kSuccess;
                Target target = open_target(options->target, argv0, &status);
                if (!target.panel) return status;
                return serve::serve_panel(*target.panel, options->target.module, options->port);
            }};
}

}  // namespace bench::cli
