// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user profile: integer and text values by section and key.
//
// Backed by QSettings with organisation "Quillmoor" and the executable's base name as application
// (on Linux an INI file under $XDG_CONFIG_HOME/Quillmoor/, on Windows the registry key
// HKEY_CURRENT_USER\Software\Quillmoor\<application>); each section is a group. Reads fall back
// to the given default whenever a value is missing or cannot be read, so a damaged profile never
// stops the program. Writes report success, which callers may ignore.
//
// A profile file that does not read cleanly (not a regular file, not UTF-8 text, not parsable) is
// never written to: the person may want to repair it. Such a file that is a FIFO or a device is
// not even opened; every value then has its default. problem() says what is wrong, for telling
// the user once.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

namespace sonarel {

inline constexpr const char* kProfileOrganisation = "Quillmoor";

class ProfileStore {
public:
    // `application` empty: the executable's base name.
    explicit ProfileStore(const QString& application = {});
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    std::int32_t ReadInt(const QString& section, const QString& key, std::int32_t defaultValue) const;
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool WriteInt(const QString& section, const QString& key, std::int32_t value);
    bool WriteString(const QString& section, const QString& key, const QString& text);

    // Where the values live, for the README and for messages.
    QString location() const;
    // Empty, or a sentence saying why the profile file is not used or not written to.
    QString problem() const { return problem_; }

private:
    // Looks at the file before QSettings does; false when it must not be opened at all.
    bool checkFile();

    QString location_;
    QString problem_;
    bool writable_ = true;
    std::unique_ptr<QSettings> settings_;  // null when the file is not read at all
};

}  // namespace sonarel
