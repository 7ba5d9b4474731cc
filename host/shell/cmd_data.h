// `rthost demo|import|export`: the host's data commands. They parse arguments and
// call the host data library (the demo also the report module, which writes its
// job); messages go to standard error, exports to standard output or a file,
// all UTF-8.
#pragma once

#include <CLI/CLI.hpp>

// Adds the three subcommands; a command that fails sets `exitCode` to 1, or to 2
// for a wrong argument.
void AddDataCommands(CLI::App& app, int& exitCode);
