// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ProfileStore.h"

#include <QSettings>
#include <limits>

#include "platform/Desktop.h"

namespace sonarel {

namespace {

QString keyPath(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// A value is usable only when the profile could be parsed and the value is one plain text or
// number (a hand-edited "a, b" reads back as a list, which no key of ours holds).
bool readable(const QSettings& settings, const QVariant& value)
{
    return settings.status() != QSettings::FormatError && value.isValid() &&
           value.metaType().id() != QMetaType::QStringList && value.canConvert<QString>();
}

}  // namespace

ProfileStore::ProfileStore(const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QString::fromLatin1(kProfileOrganisation),
                                            application.isEmpty() ? applicationName() : application))
{
}

ProfileStore::~ProfileStore() = default;

std::int32_t ProfileStore::ReadInt(const QString& section, const QString& key, std::int32_t defaultValue) const
{
    const QVariant value = settings_->value(keyPath(section, key));
    if (!readable(*settings_, value))
        return defaultValue;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    // Stored as a 32-bit number and read back signed: 4294967295 reads as -1.
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > static_cast<qlonglong>(std::numeric_limits<std::uint32_t>::max()))
        return defaultValue;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
}

QString ProfileStore::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QVariant value = settings_->value(keyPath(section, key));
    return readable(*settings_, value) ? value.toString() : defaultValue;
}

bool ProfileStore::WriteInt(const QString& section, const QString& key, std::int32_t value)
{
    return WriteString(section, key, QString::number(value));
}

bool ProfileStore::WriteString(const QString& section, const QString& key, const QString& text)
{
    // Never overwrite a file we could not parse: the person may want to repair it.
    if (settings_->status() == QSettings::FormatError || !settings_->isWritable())
        return false;
    settings_->setValue(keyPath(section, key), text);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString ProfileStore::location() const
{
    return settings_->fileName();
}

}  // namespace sonarel
