// SPDX-License-Identifier: GPL-3.0-or-later
// Help, About and the home page.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace sonarel {

class Desktop;

// Where the manual's first page may be for a program in `programFolder`, in the order looked at:
// help/ beside the program (the build tree), then ../share/doc/sonarel/help/ (an installed tree).
QStringList helpIntroductionCandidates(const QString& programFolder);
// The first candidate that exists, or empty.
QString findHelpIntroduction(const QString& programFolder);

// Opens the manual's first page in the user's browser, or says where it was looked for.
void helpCommand(Desktop& desktop, const QString& programFolder);
void helpCommand(Desktop& desktop);  // for the running program
// Shows the About box modally.
void aboutCommand(Desktop& desktop, QWidget* parent);
// Opens the product page in the user's browser.
void homepageCommand(Desktop& desktop);

}  // namespace sonarel
