// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog layouts are given in dialog units, which follow the dialog's font: a horizontal unit
// is a quarter of the font's average character width, a vertical unit an eighth of its height.
// So the windows keep their proportions with any font.
#pragma once

#include <QFont>
#include <QRect>

namespace sonarel {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    // left, top, width, height in dialog units to pixels.
    QRect toPixels(int left, int top, int width, int height) const;
    int x(int units) const;
    int y(int units) const;

private:
    double averageWidth_;
    double height_;
};

}  // namespace sonarel
