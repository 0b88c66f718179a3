// SPDX-License-Identifier: GPL-3.0-or-later
// Progress of a mix on the console: a bar with percentage, elapsed time and an estimate of the
// time left on a terminal; a plain line every few percent otherwise; nothing when quiet.
#pragma once

#include <cstdio>

namespace sonarel {

class ConsoleProgress {
public:
    enum class Style { Bar, Lines, Quiet };
    ConsoleProgress(Style style, std::FILE* out) : style_(style), out_(out) {}

    // fraction < 0: not known yet.
    void update(double fraction, double elapsedSeconds);
    // Ends the bar's line so that later text starts on a fresh line.
    void breakLine();

    static Style styleFor(std::FILE* out, bool quiet);

private:
    Style style_;
    std::FILE* out_;
    int lastPercent_ = -1;
    bool lineOpen_ = false;
};

}  // namespace sonarel
