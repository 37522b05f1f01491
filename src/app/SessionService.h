// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class AppDelegate;

// The running program's interface on the session bus, for the command line,
// desktop shortcut settings and scripts. Member names follow D-Bus custom.
class SessionService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.quillstack.Quillstack")
    // Whether copies are recorded; false while the user has paused recording.
    Q_PROPERTY(bool Recording READ recording WRITE setRecording)
public:
    explicit SessionService(AppDelegate &app, QObject *parent = nullptr);

    bool recording() const;
    void setRecording(bool recording);

    // Exports this object on the bus; false with a message when that fails.
    bool publish(const QDBusConnection &bus, QString *errorMessage);

public slots:
    void Toggle();
    void TogglePinned();
    void Show();
    void Preferences();
    void Quit();
    // The newest `count` clips (all when count < 1), newest first: index, id,
    // kind, preview, date (ISO 8601, UTC) and kept.
    QList<QVariantMap> List(int count) const;
    // Puts a clip on the clipboard as choosing it would, found by its id or by
    // its 0-based index in the history; false when there is no such clip.
    bool Copy(const QString &idOrIndex);
    // Removes every clip that is not kept, without asking.
    void Clear();
    // The whole history in the archive's JSON form, with every change saved
    // so far: what the archive alone holds after a compaction.
    QByteArray Export() const;

signals:
    void HistoryChanged();

private:
    void announceRecording(bool recording);

    AppDelegate &m_app;
    QDBusConnection m_bus { QStringLiteral("quillstack-unpublished") };
};
