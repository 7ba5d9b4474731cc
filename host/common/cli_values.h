// Command lines of the programs: an option or argument given an empty value
// ("--txt ''", or an unset variable in a cron line) is a wrong command line,
// never taken as the option left out. Header-only: only the programs that use
// CLI11 include it.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace host {

// Adds the check to every option and argument that takes a value, in `app`
// and its subcommands, as they are now.
inline void RefuseEmptyValues(CLI::App& app) {
    static const CLI::Validator nonEmpty(
        [](std::string& value) { return value.empty() ? std::string("an empty value") : ""; }, "",
        "NONEMPTY");
    for (CLI::Option* option : app.get_options())
        if (option->get_type_size() != 0) option->check(nonEmpty);
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        RefuseEmptyValues(*sub);
}

}  // namespace host
