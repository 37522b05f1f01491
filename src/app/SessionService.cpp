// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionService.h"

#include "AppDelegate.h"
#include "ClipStore.h"
#include "HistoryPanel.h"
#include "SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTimer>

SessionService::SessionService(AppDelegate &app, QObject *parent)
    : QObject(parent)
    , m_app(app)
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    connect(&app.store(), &ClipStore::storeDidChange, this, &SessionService::HistoryChanged);
    connect(&app, &AppDelegate::recordingChanged, this, &SessionService::announceRecording);
}

bool SessionService::publish(const QDBusConnection &bus, QString *errorMessage)
{
    QDBusConnection connection(bus);
    m_bus = bus;
    if (connection.registerObject(SessionBus::objectPath, this,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                | QDBusConnection::ExportAllProperties))
        return true;
    *errorMessage = connection.lastError().message();
    return false;
}

bool SessionService::recording() const
{
    return m_app.isRecording();
}

void SessionService::setRecording(bool recording)
{
    m_app.setRecording(recording);
}

void SessionService::announceRecording(bool recording)
{
    // Qt leaves the standard change signal to us; scripts watching the
    // property see pauses made from the tray as well.
    QDBusMessage signal = QDBusMessage::createSignal(SessionBus::objectPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << SessionBus::interfaceName
           << QVariantMap { { QStringLiteral("Recording"), recording } } << QStringList();
    m_bus.send(signal);
}

void SessionService::Toggle()
{
    m_app.toggleFromShortcut(ListMode::all);
}

void SessionService::TogglePinned()
{
    m_app.toggleFromShortcut(ListMode::pinned);
}

void SessionService::Show()
{
    if (m_app.panel().isVisible())
        m_app.focusPanel(ListMode::all);
    else
        m_app.toggleVisibilityFromMenu();
}

void SessionService::Preferences()
{
    m_app.openPreferences();
}

void SessionService::Quit()
{
    // After the reply has gone out, so that the caller hears success.
    QTimer::singleShot(0, &m_app, &AppDelegate::quitApp);
}

QList<QVariantMap> SessionService::List(int count) const
{
    const QList<Clip> &clips = m_app.store().clips();
    const qsizetype shown = count < 1 ? clips.size() : std::min<qsizetype>(count, clips.size());
    QList<QVariantMap> rows;
    rows.reserve(shown);
    for (qsizetype index = 0; index < shown; ++index) {
        const Clip &clip = clips[index];
        rows.append({
            { QStringLiteral("index"), int(index) },
            { QStringLiteral("id"), clip.id.toString(QUuid::WithoutBraces) },
            { QStringLiteral("kind"), clipKindRawValue(clip.kind) },
            { QStringLiteral("preview"), clip.preview },
            { QStringLiteral("date"), clip.createdAt.toUTC().toString(Qt::ISODateWithMs) },
            { QStringLiteral("kept"), clip.isKept },
        });
    }
    return rows;
}

bool SessionService::Copy(const QString &idOrIndex)
{
    const QList<Clip> &clips = m_app.store().clips();
    bool isIndex = false;
    const qsizetype index = idOrIndex.toLongLong(&isIndex);
    std::optional<Clip> clip;
    if (isIndex) {
        if (index >= 0 && index < clips.size())
            clip = clips[index];
    } else {
        clip = m_app.store().clip(QUuid::fromString(idOrIndex));
    }
    if (!clip)
        return false;
    m_app.copyToClipboard(*clip);
    return true;
}

void SessionService::Clear()
{
    m_app.store().clearHistory();
}

QByteArray SessionService::Export() const
{
    return m_app.store().exportArchive();
}
