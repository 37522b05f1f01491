// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QString>
#include <QStringList>

#include <optional>

// The two Syncthing instances tests/support/syncthing-pair.sh runs around a
// test, as two machines that share one folder: their folders, their REST
// interfaces, and stopping and starting one as a crash and a reboot would.
class SyncthingPair
{
public:
    enum Side { A, B };
    static Side other(Side side) { return side == A ? B : A; }

    // Reads the pair from the environment the harness sets; error() says
    // what is missing when the test runs without it, and afterwards what
    // the last call that failed met.
    SyncthingPair();

    bool isValid() const { return m_valid; }
    QString error() const { return m_error; }
    QString folder(Side side) const;
    // What Syncthing leaves in a side's folder when it could not finish:
    // copies of a file both sides changed, and the temporary file of an
    // interrupted download. Empty when all is well.
    QStringList leftovers(Side side) const;

    // One REST call; nullopt (and error()) when it fails.
    std::optional<QJsonObject> get(Side side, const QString &path);
    bool post(Side side, const QString &path);
    bool patch(Side side, const QString &path, const QJsonObject &body);

    // Caps what a side sends, also to the other on 127.0.0.1; 0 lifts it.
    bool limitSending(Side side, int kibPerSecond);
    // SIGKILL: the side saves nothing on the way out.
    bool kill(Side side);
    // Starts a killed side again and returns once both are reconnected.
    bool start(Side side);

    // Both sides idle and needing nothing, and each knows the other has
    // everything it announced. Only meaningful once a change was scanned.
    bool inSync();

private:
    std::optional<QJsonObject> request(
        Side side, const QByteArray &verb, const QString &path, const QByteArray &body);
    bool control(const QString &verb, Side side);
    QString deviceId(Side side);

    QString m_folders[2];
    QString m_api[2];
    QString m_deviceIds[2];
    QByteArray m_apiKey;
    QString m_folderId;
    QString m_control;
    QString m_error;
    bool m_valid = false;
    QNetworkAccessManager m_network;
};
