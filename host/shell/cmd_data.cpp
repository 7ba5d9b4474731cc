#include "cmd_data.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/prtime.h"
#include "common/timetext.h"
#include "csv/archive_csv.h"
#include "report/xls/workbook.h"
#include "shell/demo_plant.h"
#include "plugin_loader.h"

namespace {

// The last error, for the console.
std::string LastError() {
    return host::Cp1251ToUtf8(GetIOErrorS_GUI(-2));
}

std::string Cp(const std::string& utf8) {
    return host::Utf8ToCp1251Lossy(utf8);
}

struct DataArgs {
    std::string home = ".";
    int days = 3;
    unsigned seed = 1;
    int background = 3000;
    std::string end;
    std::string csv;
    std::string from, to, variable, output;
    bool force = false;
    std::string archive;
    std::string plugin;
};

// The first entry of a host home that the demo would replace, or empty.
std::string HomeEntryOf(const std::string& home) {
    for (const char* entry : {"Archive", "Config", "Jobs", "Templates", "demo-incidents.json"})
        if (host::FileExists(Cp(home + "/" + entry).c_str())) return entry;
    return std::string();
}

// Writes a piece of the export to standard output; false with the last error set.
bool WriteStdout(std::string_view piece) {
    errno = 0;
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size() &&
        std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    return host::SetErrnoError();
}

// The spreadsheet template of the demo and of `rthost template`: a heading
// whose markers the report fills, written to `path`.
bool WriteTemplate(const std::string& path, std::string* error) {
    host::xls::Workbook book;
    book.fonts.push_back(host::xls::Font{});
    host::xls::Font bold;
    bold.bold = true;
    bold.heightTwips = 280;
    book.fonts.push_back(bold);
    host::xls::Sheet sheet;
    sheet.name = u"Отчет";
    const std::u16string lines[] = {
        u"Отчет контроля отключения оборудования (демонстрационная установка)",
        u"Период: #{Start} — #{End}",
        u"Конфигурация: #{CFGId} от #{CFGTime}",
        u"Отчет сформирован: #{RunDateTime}",
    };
    for (uint32_t r = 0; r < 4; ++r) {
        host::xls::Cell c;
        c.row = r;
        c.value = lines[r];
        if (r == 0) c.format.font = 1;
        sheet.cells.push_back(c);
    }
    book.sheets.push_back(sheet);
    return host::xls::SaveWorkbook(book, path, error);
}

// The demo's template in HOME/Templates.
bool WriteDemoTemplate(const std::string& home, std::string* error) {
    const std::string folder = home + "/Templates";
    if (!host::MakeDirectories(Cp(folder).c_str())) {
        *error = "cannot create " + folder + ": " + LastError();
        return false;
    }
    return WriteTemplate(folder + "/Tripwatch.xls", error);
}

// `rthost template FILE`: the template alone. Its exit code.
int MakeTemplate(const DataArgs& args) {
    std::string error;
    if (WriteTemplate(args.output, &error)) return 0;
    std::fprintf(stderr, "rthost template: %s\n", error.c_str());
    return 1;
}

// `rthost demo`: the demo plant, its job written by the report module, and the
// spreadsheet template. Its exit code.
int MakeDemo(const DataArgs& args) {
    if (const std::string entry = HomeEntryOf(args.home); !entry.empty() && !args.force) {
        std::fprintf(stderr,
                     "rthost demo: %s is already a home (it holds %s); --force replaces its "
                     "archive, configuration and job\n",
                     args.home.c_str(), entry.c_str());
        return 2;
    }
    host::DemoOptions o;
    o.Days = args.days;
    o.Seed = args.seed;
    o.BackgroundVariables = args.background;
    o.Archive = args.archive;
    o.ReplaceOthers = args.force;
    if (!args.end.empty()) {
        PRTime end;
        if (!host::ParseMomentText(args.end.c_str(), end) || end.Hour || end.Minute || end.Second) {
            std::fprintf(stderr, "rthost demo: --end must be a day YYYY-MM-DD\n");
            return 2;
        }
        o.Today = int64_t(end.GetTT());
    }
    std::string error;
    const std::string path = args.plugin.empty() ? host::DefaultPluginPath() : args.plugin;
    const auto module = host::LoadedPlugin::Load(path, &error);
    if (module && !module->WriteJobNode()) error = path + " exports no WriteJobNode";
    if (!error.empty()) {
        std::fprintf(stderr, "rthost demo: %s\n", error.c_str());
        return 1;
    }
    host::DemoSummary s;
    if (!host::MakeDemoPlant(Cp(args.home).c_str(), o, module->WriteJobNode(), s)) {
        std::fprintf(stderr, "rthost demo: %s\n", LastError().c_str());
        return 1;
    }
    if (!WriteDemoTemplate(args.home, &error)) {
        std::fprintf(stderr, "rthost demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("Demo plant in %s\n", args.home.c_str());
    std::printf("  configuration %s (id %08X): %d objects, %d contours, %d variables\n",
                host::Cp1251ToUtf8(s.ConfigPath).c_str(), s.ConfigId, s.Objects, s.Contours,
                s.Variables);
    std::printf("  archive%s: %d day(s) %s .. %s, %lld samples\n",
                o.Archive.empty() ? "" : " (PostgreSQL, HOME/Archive.json)", o.Days,
                s.FirstDay.c_str(), s.LastDay.c_str(), s.Samples);
    std::printf("  job: %s\n", host::Cp1251ToUtf8(s.JobPath).c_str());
    std::printf("  spreadsheet template: %s/Templates/Tripwatch.xls\n", args.home.c_str());
    std::printf("  planted incidents: %d, listed in %s\n", s.Incidents,
                host::Cp1251ToUtf8(s.IncidentsPath).c_str());
    return 0;
}

// `rthost import`: a CSV file into the hour archive. Its exit code.
int Import(const DataArgs& args) {
    host::ImportResult r;
    if (!host::ImportCsv(Cp(args.home).c_str(), Cp(args.csv).c_str(), &r)) {
        std::fprintf(stderr, "rthost import: %s\n", LastError().c_str());
        return 1;
    }
    std::fprintf(stderr, "Imported %d samples into %d %s\n", r.Rows, r.DayFiles, r.Units);
    if (r.FirstPass)
        std::fprintf(stderr,
                     "Warning: %d sample(s) in a repeated hour without a UTC offset taken as its "
                     "first pass\n",
                     r.FirstPass);
    return 0;
}

// `rthost export`: samples of the hour archive as CSV. Its exit code.
int Export(const DataArgs& args) {
    PRTime from, to;
    if (!host::ParseTimeText(args.from.c_str(), from) ||
        !host::ParseTimeText(args.to.c_str(), to)) {
        std::fprintf(stderr, "rthost export: a time must be YYYY-MM-DD HH:MM:SS\n");
        return 2;
    }
    int rows = 0;
    const std::string variable = Cp(args.variable);
    const char* only = args.variable.empty() ? nullptr : variable.c_str();
    const std::string home = Cp(args.home);
    const auto exportTo = [&](const host::PieceWriter& write) {
        return host::ExportCsv(home.c_str(), from.GetTT(), to.GetTT(), only, write, &rows);
    };
    bool unwritten = false;  // standard output refused a piece
    const auto toStdout = [&](std::string_view piece) {
        return WriteStdout(piece) || !(unwritten = true);
    };
    if (args.output.empty() ? !exportTo(toStdout)
                            : !host::StreamFileAtomically(Cp(args.output).c_str(), exportTo)) {
        std::fprintf(stderr, "rthost export: %s%s\n",
                     unwritten ? "standard output not written: " : "", LastError().c_str());
        return 1;
    }
    std::fprintf(stderr, "Exported %d samples\n", rows);
    return 0;
}

// The subcommand `name` on a required HOME; when chosen it runs `run`, whose
// non-zero result becomes `exitCode`.
CLI::App* AddHomeCommand(CLI::App& app, const char* name, const char* description,
                         const std::shared_ptr<DataArgs>& args, int& exitCode,
                         int (*run)(const DataArgs&)) {
    CLI::App* cmd = app.add_subcommand(name, description);
    cmd->add_option("HOME", args->home, "Home folder")->required();
    cmd->callback([args, &exitCode, run] {
        if (const int code = run(*args)) exitCode = code;
    });
    return cmd;
}

void AddDemoCommand(CLI::App& app, const std::shared_ptr<DataArgs>& args, int& exitCode) {
    CLI::App* demo =
        AddHomeCommand(app, "demo", "Create the demo plant in HOME", args, exitCode, MakeDemo);
    demo->add_option("--days", args->days, "Archive days ending yesterday (or before --end)")
        ->check(CLI::Range(1, 366));
    demo->add_option("--end", args->end,
                     "The archive ends at this day's midnight, YYYY-MM-DD (default: today)");
    demo->add_option("--seed", args->seed, "Seed of the generator");
    demo->add_option("--background", args->background, "Number of background variables")
        ->check(CLI::Range(0, 50000));
    demo->add_option("--archive", args->archive,
                     "Keep the samples in this PostgreSQL database (libpq connection string or "
                     "URI), named in HOME/Archive.json");
    demo->add_option(
        "--plugin", args->plugin,
        "Path of the report module that writes the job (default: the one installed with rthost)");
    demo->add_flag("--force", args->force,
                   "Replace the archive, configuration and job of an existing home, and the "
                   "samples of the demo's days in a PostgreSQL table that holds others");
}

void AddImportCommand(CLI::App& app, const std::shared_ptr<DataArgs>& args, int& exitCode) {
    CLI::App* imp = AddHomeCommand(app, "import", "Import samples from a CSV file into HOME", args,
                                   exitCode, Import);
    imp->add_option("FILE", args->csv, "CSV file: variable,time,state,value")->required();
}

void AddTemplateCommand(CLI::App& app, const std::shared_ptr<DataArgs>& args, int& exitCode) {
    CLI::App* cmd = app.add_subcommand(
        "template", "Write the spreadsheet template of the demo, a start for a plant's own");
    cmd->add_option("FILE", args->output, "The template file (.xls) to write")->required();
    cmd->callback([args, &exitCode] {
        if (const int code = MakeTemplate(*args)) exitCode = code;
    });
}

void AddExportCommand(CLI::App& app, const std::shared_ptr<DataArgs>& args, int& exitCode) {
    CLI::App* exp = AddHomeCommand(app, "export", "Export archived samples of HOME as CSV", args,
                                   exitCode, Export);
    exp->add_option("--from", args->from, "First moment, YYYY-MM-DD HH:MM:SS")->required();
    exp->add_option("--to", args->to, "Last moment, YYYY-MM-DD HH:MM:SS")->required();
    exp->add_option("--variable", args->variable, "Only this variable");
    exp->add_option("-o,--output", args->output, "Output file (default: standard output)");
}

}  // namespace

void AddDataCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<DataArgs>();
    AddDemoCommand(app, args, exitCode);
    AddImportCommand(app, args, exitCode);
    AddExportCommand(app, args, exitCode);
    AddTemplateCommand(app, args, exitCode);
}
