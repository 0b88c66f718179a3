// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ProfileStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <limits>

#include "platform/Desktop.h"
#include "platform/FileChecks.h"

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

// Far more than any profile of ours; a larger file is someone else's.
constexpr qint64 kLargestProfile = 1024 * 1024;

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

}  // namespace

ProfileStore::ProfileStore(const QString& application)
{
    const QString name = application.isEmpty() ? applicationName() : application;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Where QSettings keeps a user's INI file; looked at before QSettings opens it, which would
    // wait forever on a FIFO.
    location_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
                QString::fromLatin1(kProfileOrganisation) + QLatin1Char('/') + name + QStringLiteral(".conf");
    const bool openIt = checkFile();  // a FIFO, device or folder is not opened at all
#else
    const bool openIt = true;
#endif
    if (openIt) {
        settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QString::fromLatin1(kProfileOrganisation), name);
        location_ = settings_->fileName();
    }
    if (problem_.isEmpty() && settings_ && settings_->status() == QSettings::FormatError) {
        problem_ = QStringLiteral("The settings file %1 could not be understood.").arg(location_);
        writable_ = false;
    }
    if (!problem_.isEmpty())
        problem_ += QStringLiteral(
            " Sonarel leaves it as it is and does not save settings until it is repaired or "
            "removed.");
}

bool ProfileStore::checkFile()
{
    if (!QFileInfo::exists(location_))
        return true;  // a first run (or a link to a file not made yet): QSettings creates it
    QByteArray content;
    const QString why = readRegularFile(location_, kLargestProfile, true, content);
    if (!why.isEmpty()) {
        problem_ = QStringLiteral("The settings file %1 cannot be read: %2. The default settings are used.")
                       .arg(location_, why);
        writable_ = false;
        return false;
    }
    if (!isUtf8(content)) {
        problem_ = QStringLiteral("The settings file %1 is not UTF-8 text: some values may read wrong.").arg(location_);
        writable_ = false;
    }
    return true;
}

ProfileStore::~ProfileStore() = default;

std::int32_t ProfileStore::ReadInt(const QString& section, const QString& key, std::int32_t defaultValue) const
{
    if (!settings_)
        return defaultValue;
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
    if (!settings_)
        return defaultValue;
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
    if (!settings_ || !writable_ || settings_->status() == QSettings::FormatError || !settings_->isWritable())
        return false;
    settings_->setValue(keyPath(section, key), text);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString ProfileStore::location() const
{
    return location_;
}

}  // namespace sonarel
