// Files the statistics are written to (charts, their print): made in a hidden
// ".tripwatch-XXXXXX.part" beside the target and given its name only when
// whole, replacing an older one; nothing is left under the name on failure.
#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

class QPdfWriter;

// `write` fills the device and returns false when it could not; the file is
// flushed to the disk before it takes the name. False with "Файл не записан:
// PATH: REASON" in `error`.
bool TW_WriteWholeFile(const QString& path, const std::function<bool(QIODevice&)>& write,
                       QString& error);

// The same for a PDF of A4 landscape pages at `dpi`, painted by `paint`.
bool TW_WritePdf(const QString& path, int dpi, const std::function<bool(QPdfWriter&)>& paint,
                 QString& error);
