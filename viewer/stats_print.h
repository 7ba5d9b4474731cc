// The statistics of a period on paper or as PDF: the title and period, the table
// (its header repeated on every page, rows never split), then each chart on a
// page of its own.
#pragma once

#include <QString>

class QPagedPaintDevice;
struct TW_Statistics;

// Paints onto a printer or PDF writer whose page size is set. False with a
// message when the device cannot be painted on.
bool TW_PaintStatistics(QPagedPaintDevice& device, const TW_Statistics& stats, QString& error);
// Writes the statistics as a PDF file (A4, landscape); no partial file is left
// under the name on failure.
bool TW_WriteStatisticsPdf(const TW_Statistics& stats, const QString& path, QString& error);
