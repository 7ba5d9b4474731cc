// The entries of Tripview's window library (libTripviewWindow.so): what needs
// the window toolkit, loaded only when the window or the charts are asked for,
// so that the batch mode alone loads no GUI library.
#pragma once

struct TW_Statistics;

// Opens the wizard window and returns the program's exit code (2 without a
// display, the reason on standard error).
extern "C" typedef int (*TWV_RunWindowProc)(int argc, char** argv);
// Writes the charts of `stats` into `folder` (UTF-8), printing each file made
// ("chart: PATH") or the failure ("charts: failed: REASON"); false on failure.
extern "C" typedef bool (*TWV_WriteChartsProc)(const TW_Statistics* stats, const char* folder);
