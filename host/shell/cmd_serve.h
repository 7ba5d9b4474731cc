// "rthost serve": the read-only web view of a home's reports, from the web
// view's library (libTripweb.so), which it loads.
#pragma once

#include <CLI/CLI.hpp>

void AddServeCommand(CLI::App& app, int& exitCode);
