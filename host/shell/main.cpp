// rthost: the host program of Tripwatch on Linux. It loads the report module
// (libTripplug.so), drives it through its descriptor, and keeps the host's data:
// configurations, the hour archive and the report jobs under a home folder.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "common/prtime.h"
#include "cmd_data.h"
#include "cmd_edit.h"
#include "cmd_info.h"
#include "cmd_notify.h"
#include "cmd_run.h"
#include "cmd_serve.h"
#include "common/cli_values.h"

int main(int argc, char** argv) {
    host::LoadLocalZoneOnce();
    CLI::App app{"rthost - the Tripwatch host"};
    app.require_subcommand(1);
    int exitCode = 0;
    AddInfoCommand(app, exitCode);
    AddDataCommands(app, exitCode);
    AddRunCommand(app, exitCode);
    AddEditCommand(app, exitCode);
    AddServeCommand(app, exitCode);
    AddNotifyTestCommand(app, exitCode);
    host::RefuseEmptyValues(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A wrong command, option or argument exits 2, whatever the parser's
        // own code; --help prints the help and exits 0.
        return app.exit(e) == 0 ? 0 : 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rthost: %s\n", e.what());
        return 2;
    }
    return exitCode;
}
