// rthost edit: the report module's settings dialog for one job of a home.
#pragma once

#include <CLI/CLI.hpp>

void AddEditCommand(CLI::App& app, int& exitCode);
