// Tripview without its window: the second-level report of a period from the
// command line (for cron and scripts), written as text and/or spreadsheet, and
// the protection statistics of the period as a CSV table.
#pragma once

#include <functional>
#include <string>

#include "tw_stats.h"

struct TW_BatchArgs {
    std::string path;                        // folder of the saved first-level reports
    std::string from, to;                    // the period, "YYYY-MM-DD[ HH:MM[:SS]]"
    std::string txtDir;                      // where the text report goes (empty: none)
    std::string xlsDir;                      // where the spreadsheet goes (empty: none)
    std::string templ;                       // the spreadsheet template (empty: the report alone)
    std::string statsDir;                    // where stats.csv goes (empty: none)
    double nearMissShare = 0.8;              // of a response window, for the statistics
    TW_StatsStep step = TW_StatsStep::None;  // of the trend chart
    // Writes the charts of the statistics into the folder (a file-system name)
    // and prints each file made; false when one could not be written. Empty:
    // stats.csv alone.
    std::function<bool(const TW_Statistics& stats, const std::string& folder)> writeCharts;
};

// Runs the search and the gathering for the period, writes the requested
// files and prints a summary (UTF-8) to standard output: the reports used, each
// non-operation, the reports that could not be read, the files written. With a
// statistics folder, the same pass gathers the statistics (tw_stats.h), writes
// them as stats.csv there (stats_csv.h; replacing an older one) and names every
// times file that could not be used. Returns the exit code: 0 done, 1 an output
// failed or a report (or, for the statistics, a times file) could not be read
// (what could be read is still gathered and written), 2 the arguments are
// wrong or the folder does not exist. Paths are file-system names.
int RunBatch(const TW_BatchArgs& args);
