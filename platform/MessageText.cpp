// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageText.h"

#include "platform/NativePath.h"

namespace sonarel {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

void appendEscape(QString& out, char16_t c)
{
    switch (c) {
    case u'\n': out += QStringLiteral("\\n"); return;
    case u'\r': out += QStringLiteral("\\r"); return;
    case u'\t': out += QStringLiteral("\\t"); return;
    default: out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(c), 2, 16, QLatin1Char('0'));
    }
}

// Bytes of a name that are not UTF-8 come out as \xHH first (see NativePath.h).
QString escaped(const QString& raw, bool keepLayout)
{
    const QString text = readablePath(raw);
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (isControl(c) && !(keepLayout && (c == u'\n' || c == u'\t')))
            appendEscape(out, c);
        else
            out += qc;
    }
    return out;
}

}  // namespace

QString escapeControlCharacters(const QString& text)
{
    return escaped(text, false);
}

QString safeMessageText(const QString& text)
{
    return escaped(text, true);
}

QString shortenForMessage(const QString& text, int longest)
{
    if (text.size() <= longest)
        return text;
    // The end of a path is its file name, so both ends are kept.
    const qsizetype head = longest / 2;
    const qsizetype tail = longest - head;
    QString start = text.left(head);
    QString end = text.right(tail);
    // Never split a surrogate pair.
    if (!start.isEmpty() && start.back().isHighSurrogate())
        start.chop(1);
    if (!end.isEmpty() && end.front().isLowSurrogate())
        end.remove(0, 1);
    return start + QStringLiteral("\u2026") + end +
           QStringLiteral(" (%1 characters)").arg(QString::number(text.size()));
}

QString nameInMessage(const QString& name)
{
    return shortenForMessage(escapeControlCharacters(name));
}

std::string nameInMessage(std::string_view name)
{
    return nameInMessage(pathFromBytes(name)).toStdString();
}

QString listInMessage(const QStringList& lines, int most)
{
    if (lines.size() <= most)
        return lines.join(QLatin1Char('\n'));
    return QStringList(lines.mid(0, most)).join(QLatin1Char('\n')) +
           QStringLiteral("\n... and %1 more").arg(QString::number(lines.size() - most));
}

}  // namespace sonarel
