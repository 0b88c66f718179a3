// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/StemFiles.h"

#include <QSet>

namespace sonarel {

namespace {
// Bytes of UTF-8 a stem's name keeps, leaving room under the usual 255 for " (N)" and an extension.
constexpr int kLongestNameBytes = 200;

bool refusedCharacter(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c);
}

// Names that some systems keep for devices, whatever their extension.
bool deviceName(const QString& name)
{
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    const QString upper = name.toUpper();
    if (devices.contains(upper))
        return true;
    return upper.size() == 4 && (upper.startsWith(QStringLiteral("COM")) || upper.startsWith(QStringLiteral("LPT"))) &&
           upper[3] >= QLatin1Char('1') && upper[3] <= QLatin1Char('9');
}

QString cutToBytes(QString name)
{
    while (name.toUtf8().size() > kLongestNameBytes) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);  // never half a character
    }
    return name;
}
}  // namespace

QString safeFileStem(const QString& group)
{
    QString name;
    for (const QChar c : group)
        name += refusedCharacter(c) ? QLatin1Char('_') : c;
    // Spaces and dots at the ends are lost or hidden by some systems; a leading dot hides the file.
    while (!name.isEmpty() && (name.back().isSpace() || name.back() == QLatin1Char('.')))
        name.chop(1);
    while (!name.isEmpty() && name.front().isSpace())
        name.remove(0, 1);
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    name = cutToBytes(name);
    if (name.isEmpty())
        return QStringLiteral("group");
    if (deviceName(name))
        name += QLatin1Char('_');
    return name;
}

StemPlan planStems(const std::vector<QString>& groups, const std::vector<bool>& mixed, const QString& extension,
                   const QStringList& taken)
{
    StemPlan plan;
    plan.stemOfEntry.assign(groups.size(), -1);
    int ungrouped = -1;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i < mixed.size() && !mixed[i])
            continue;
        if (groups[i].isEmpty()) {
            ungrouped = 0;  // placed last, below
            continue;
        }
        int k = 0;
        while (k < static_cast<int>(plan.files.size()) && plan.files[static_cast<std::size_t>(k)].group != groups[i])
            ++k;
        if (k == static_cast<int>(plan.files.size()))
            plan.files.push_back({groups[i], {}, false});
        plan.stemOfEntry[i] = k;
    }
    if (ungrouped == 0) {
        ungrouped = static_cast<int>(plan.files.size());
        plan.files.push_back({QString(), {}, false});
        for (std::size_t i = 0; i < groups.size(); ++i)
            if ((i >= mixed.size() || mixed[i]) && groups[i].isEmpty())
                plan.stemOfEntry[i] = ungrouped;
    }
    // The entries without a group keep their documented name first; the groups follow in order.
    QSet<QString> used;
    for (const QString& name : taken)
        used.insert(name.toLower());
    const auto name = [&](StemFile& file) {
        const QString wanted = file.group.isEmpty() ? QString::fromLatin1(kUngroupedStem) : file.group;
        const QString stem = file.group.isEmpty() ? wanted : safeFileStem(wanted);
        QString candidate = stem + extension;
        for (int n = 2; used.contains(candidate.toLower()); ++n)
            candidate = stem + QStringLiteral(" (%1)").arg(n) + extension;
        used.insert(candidate.toLower());
        file.fileName = candidate;
        file.renamed = candidate != wanted + extension;
    };
    if (ungrouped >= 0)
        name(plan.files[static_cast<std::size_t>(ungrouped)]);
    for (StemFile& file : plan.files)
        if (!file.group.isEmpty())
            name(file);
    return plan;
}

QString renamedStemsText(const StemPlan& plan)
{
    QStringList lines;
    for (const StemFile& file : plan.files) {
        if (!file.renamed)
            continue;
        if (file.group.isEmpty())
            lines << QStringLiteral("The entries without a group are in %1.").arg(file.fileName);
        else
            lines << QStringLiteral("The group \"%1\" is in %2.").arg(file.group, file.fileName);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace sonarel
