// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QSettings;

// A persistent key-value store with a registration layer: registered values
// answer reads of keys the user never set and are never written to disk.
class Defaults
{
public:
    // The user's settings file, userSettingsFile().
    Defaults();
    // A settings file at the given path; tests use a temporary one.
    explicit Defaults(const QString &iniPath);
    ~Defaults();
    Defaults(const Defaults &) = delete;
    Defaults &operator=(const Defaults &) = delete;

    void registerDefaults(const QVariantMap &values);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant object(const QString &key) const;
    bool contains(const QString &key) const; // stored by the user, not registered
    // Typed reads in the manner of a defaults store: a value that does not
    // convert reads as 0, false or the empty string.
    qint64 integer(const QString &key) const;
    bool boolean(const QString &key) const;
    QString string(const QString &key) const;

    // Each write reaches the file before returning.
    void setObject(const QString &key, const QVariant &value);
    void remove(const QString &key);

    QString fileName() const;

    // "Quillstack/Quillstack.conf" in configDir (normally ~/.config). A
    // settings file left as "Quillstack.ini" by an earlier version is moved
    // there first, once.
    static QString userSettingsFile(const QString &configDir = QString());

private:
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};
