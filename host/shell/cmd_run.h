// `rthost run HOME --job NAME [--end T | --from DATE --to DATE]`: runs a report
// job through the loaded module, once or for each day of a range, prints the log
// lines and a summary of what each day's report holds and where it was written.
#pragma once

#include <CLI/CLI.hpp>

void AddRunCommand(CLI::App& app, int& exitCode);
