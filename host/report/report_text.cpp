#include "report/report_text.h"

#include <algorithm>
#include <cstdlib>

namespace host::report {

double FontSizeMm(const HReportFont& font) {
    return std::abs(font.Height) * kMmPerPixel;
}

double CharWidthMm(const HReportFont& font) {
    return FontSizeMm(font) * (font.Bold ? 0.6 : 0.55);
}

double LineHeightMm(const HReportFont& font) {
    return FontSizeMm(font) * 1.25;
}

namespace {

// Calls emit(line) for each line of one paragraph (a text without "\n").
template <typename Emit>
void BreakParagraph(std::string_view para, std::size_t perLine, bool wrap, Emit&& emit) {
    if (!wrap || para.size() <= perLine) {
        emit(para);
        return;
    }
    std::size_t pos = 0;
    while (pos < para.size()) {
        std::size_t rest = para.size() - pos;
        if (rest <= perLine) {
            emit(para.substr(pos));
            return;
        }
        // The last space that keeps the line within perLine characters.
        std::size_t cut = std::string_view::npos;
        for (std::size_t i = pos + perLine; i > pos; --i) {
            if (para[i] == ' ') {
                cut = i;
                break;
            }
        }
        if (cut == std::string_view::npos) {
            emit(para.substr(pos, perLine));  // a word longer than the box
            pos += perLine;
        } else {
            emit(para.substr(pos, cut - pos));
            pos = cut + 1;
        }
        while (pos < para.size() && para[pos] == ' ')
            ++pos;
    }
}

template <typename Emit>
void BreakText(std::string_view text, const HReportFont& font, double widthMm, bool wrap,
               Emit&& emit) {
    if (text.empty()) return;
    const double cw = CharWidthMm(font);
    const std::size_t perLine =
        std::max<std::size_t>(1, cw > 0 ? std::size_t(std::max(0.0, widthMm) / cw + 1e-9) : 1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        std::string_view para = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
        if (!para.empty() && para.back() == '\r') para.remove_suffix(1);
        BreakParagraph(para, perLine, wrap, emit);
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
}

}  // namespace

std::vector<std::string_view> BreakLines(std::string_view text, const HReportFont& font,
                                         double widthMm, bool wrap) {
    std::vector<std::string_view> lines;
    BreakText(text, font, widthMm, wrap, [&](std::string_view l) { lines.push_back(l); });
    return lines;
}

int CountLines(std::string_view text, const HReportFont& font, double widthMm, bool wrap) {
    int n = 0;
    BreakText(text, font, widthMm, wrap, [&](std::string_view) { ++n; });
    return n;
}

}  // namespace host::report
