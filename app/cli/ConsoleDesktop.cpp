// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/ConsoleDesktop.h"

#include "platform/NativePath.h"

namespace sonarel {

void ConsoleDesktop::print(const QString& caption, const QString& text)
{
    if (beforeMessage_)
        beforeMessage_();
    std::fprintf(out_, "%s: %s\n", caption.toLocal8Bit().constData(), readablePath(text).toLocal8Bit().constData());
    std::fflush(out_);
}

void ConsoleDesktop::showAppMessage(const QString& text)
{
    print(applicationName(), text);
}

void ConsoleDesktop::showMessage(const QString& text, const QString& caption, MessageIcon)
{
    print(caption, text);
}

bool ConsoleDesktop::askYesNo(const QString& text, const QString& caption, MessageIcon)
{
    if (answerYes_ && quiet_)
        return true;
    print(caption, text + (answerYes_ ? QStringLiteral(" Yes (--yes).")
                                      : QStringLiteral(" No (run with --yes to answer Yes).")));
    return answerYes_;
}

}  // namespace sonarel
