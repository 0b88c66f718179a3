// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/ConsoleProgress.h"

#include <unistd.h>
#include <algorithm>
#include <string>

namespace sonarel {

namespace {
std::string clock(double seconds)
{
    const long total = std::max(0L, static_cast<long>(seconds + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", total / 3600, (total % 3600) / 60, total % 60);
    return text;
}
}  // namespace

ConsoleProgress::Style ConsoleProgress::styleFor(std::FILE* out, bool quiet)
{
    if (quiet)
        return Style::Quiet;
    return ::isatty(::fileno(out)) ? Style::Bar : Style::Lines;
}

void ConsoleProgress::update(double fraction, double elapsedSeconds)
{
    if (style_ == Style::Quiet || fraction < 0)
        return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int percent = static_cast<int>(fraction * 100.0);
    if (style_ == Style::Lines) {
        if (percent / 5 == lastPercent_ / 5 && lastPercent_ >= 0)
            return;
        lastPercent_ = percent;
        std::fprintf(out_, "progress %d%% elapsed %s\n", percent, clock(elapsedSeconds).c_str());
        std::fflush(out_);
        return;
    }
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::string left = "--:--:--";
    if (fraction > 0.01)
        left = clock(elapsedSeconds * (1.0 - fraction) / fraction);
    std::fprintf(out_, "\r[%s] %3d%%  elapsed %s  left %s ", bar.c_str(), percent, clock(elapsedSeconds).c_str(),
                 left.c_str());
    std::fflush(out_);
    lineOpen_ = true;
}

void ConsoleProgress::breakLine()
{
    if (lineOpen_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        lineOpen_ = false;
    }
}

}  // namespace sonarel
