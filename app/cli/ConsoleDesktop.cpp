// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/ConsoleDesktop.h"

#include "platform/MessageText.h"
#include "platform/NativePath.h"

namespace sonarel {

void ConsoleDesktop::print(const QString& caption, const QString& text)
{
    if (beforeMessage_)
        beforeMessage_();
    if (printer_) {
        printer_(caption, safeMessageText(text));
        return;
    }
    std::fprintf(out_, "%s: %s\n", caption.toLocal8Bit().constData(), safeMessageText(text).toLocal8Bit().constData());
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

void ConsoleDesktop::showStepFailure(const StepFailure& failure)
{
    const QString cause = failure.cause.isEmpty() ? failure.platformText : failure.cause;
    if (cause.isEmpty()) {
        print(failure.caption.isEmpty() ? applicationName() : failure.caption, failure.stepText);
        return;
    }
    print(failure.caption.isEmpty() ? applicationName() : failure.caption,
          cause + QStringLiteral(" (") + failure.stepText + QLatin1Char(')'));
}

bool ConsoleDesktop::askYesNo(const QString& text, const QString& caption, MessageIcon)
{
    print(caption, text + (answerYes_ ? QStringLiteral(" Yes (--yes).")
                                      : QStringLiteral(" No (run with --yes to answer Yes).")));
    return answerYes_;
}

}  // namespace sonarel
