// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/DialogUnits.h"

#include <QFontMetricsF>
#include <cmath>

namespace sonarel {

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    // The average width of the Latin letters, as dialog templates have always measured it.
    averageWidth_ = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                    52.0;
    height_ = metrics.height();
}

int DialogUnits::x(int units) const
{
    return static_cast<int>(std::lround(units * averageWidth_ / 4.0));
}

int DialogUnits::y(int units) const
{
    return static_cast<int>(std::lround(units * height_ / 8.0));
}

QRect DialogUnits::toPixels(int left, int top, int width, int height) const
{
    const int l = x(left);
    const int t = y(top);
    return {l, t, x(left + width) - l, y(top + height) - t};
}

}  // namespace sonarel
