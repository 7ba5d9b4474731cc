// `rthost info`: loads the report module, checks its descriptor, calls Init and
// Done, and prints the module's name and description.
#pragma once

#include <CLI/CLI.hpp>

void AddInfoCommand(CLI::App& app, int& exitCode);
