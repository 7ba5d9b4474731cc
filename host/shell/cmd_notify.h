// rthost notify-test: a test message through every alert channel of a job.
#pragma once

#include <CLI/CLI.hpp>

void AddNotifyTestCommand(CLI::App& app, int& exitCode);
