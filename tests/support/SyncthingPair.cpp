// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyncthingPair.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const char *const sideNames[] = { "A", "B" };

} // namespace

SyncthingPair::SyncthingPair()
{
    for (const Side side : { A, B }) {
        const QString name = QLatin1String(sideNames[side]);
        m_folders[side]
            = qEnvironmentVariable(qPrintable(u"QUILLSTACK_PAIR_%1_FOLDER"_s.arg(name)));
        m_api[side] = qEnvironmentVariable(qPrintable(u"QUILLSTACK_PAIR_%1_API"_s.arg(name)));
    }
    m_apiKey = qgetenv("QUILLSTACK_PAIR_API_KEY");
    m_folderId = qEnvironmentVariable("QUILLSTACK_PAIR_FOLDER_ID");
    m_control = qEnvironmentVariable("QUILLSTACK_PAIR_CONTROL");
    m_valid = !m_folders[A].isEmpty() && !m_folders[B].isEmpty() && !m_api[A].isEmpty()
        && !m_api[B].isEmpty() && !m_apiKey.isEmpty() && !m_folderId.isEmpty()
        && !m_control.isEmpty();
    if (!m_valid)
        m_error = u"not run under tests/support/syncthing-pair.sh"_s;
}

QString SyncthingPair::folder(Side side) const
{
    return m_folders[side];
}

QStringList SyncthingPair::leftovers(Side side) const
{
    QStringList found;
    QDirIterator it(m_folders[side], QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (name.contains(u".sync-conflict-"_s)
            || (name.startsWith(u".syncthing."_s) && name.endsWith(u".tmp"_s)))
            found.append(name);
    }
    return found;
}

std::optional<QJsonObject> SyncthingPair::request(
    Side side, const QByteArray &verb, const QString &path, const QByteArray &body)
{
    QNetworkRequest request(QUrl(m_api[side] + path));
    request.setRawHeader("X-API-Key", m_apiKey);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
    request.setTransferTimeout(30000);
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        m_error = u"%1 %2 on %3: %4"_s.arg(
            QString::fromLatin1(verb), path, QLatin1String(sideNames[side]), reply->errorString());
        return std::nullopt;
    }
    // Some answers are empty, some a bare value; only objects are read.
    return QJsonDocument::fromJson(reply->readAll()).object();
}

std::optional<QJsonObject> SyncthingPair::get(Side side, const QString &path)
{
    return request(side, "GET", path, {});
}

bool SyncthingPair::post(Side side, const QString &path)
{
    return request(side, "POST", path, {}).has_value();
}

bool SyncthingPair::patch(Side side, const QString &path, const QJsonObject &body)
{
    return request(side, "PATCH", path, QJsonDocument(body).toJson(QJsonDocument::Compact))
        .has_value();
}

bool SyncthingPair::limitSending(Side side, int kibPerSecond)
{
    return patch(side, u"/rest/config/options"_s,
        { { u"maxSendKbps"_s, kibPerSecond }, { u"limitBandwidthInLan"_s, kibPerSecond > 0 } });
}

bool SyncthingPair::control(const QString &verb, Side side)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(m_control, { verb, QString::fromLatin1(sideNames[side]).toLower() });
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        m_error = u"syncthing-pair.sh %1 %2 failed"_s.arg(verb, QLatin1String(sideNames[side]));
        return false;
    }
    return true;
}

bool SyncthingPair::kill(Side side)
{
    return control(u"kill"_s, side);
}

bool SyncthingPair::start(Side side)
{
    return control(u"start"_s, side);
}

QString SyncthingPair::deviceId(Side side)
{
    if (m_deviceIds[side].isEmpty()) {
        if (const auto status = get(side, u"/rest/system/status"_s))
            m_deviceIds[side] = status->value(u"myID"_s).toString();
    }
    return m_deviceIds[side];
}

bool SyncthingPair::inSync()
{
    for (const Side side : { A, B }) {
        const auto status = get(side, u"/rest/db/status?folder="_s + m_folderId);
        if (!status || status->value(u"state"_s).toString() != u"idle"_s
            || status->value(u"needTotalItems"_s).toInteger(-1) != 0
            || status->value(u"pullErrors"_s).toInteger(-1) != 0)
            return false;
        const QString peer = deviceId(other(side));
        if (peer.isEmpty())
            return false;
        const auto completion
            = get(side, u"/rest/db/completion?folder=%1&device=%2"_s.arg(m_folderId, peer));
        if (!completion || completion->value(u"completion"_s).toDouble() < 100.0
            || completion->value(u"needItems"_s).toInteger(-1) != 0)
            return false;
    }
    return true;
}
