// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

namespace {

// The owner helper reads NAME@FILE; '=', '@' and '\' in a name are escaped.
QString escapedTarget(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    name.replace(QLatin1Char('='), QLatin1String("\\="));
    name.replace(QLatin1Char('@'), QLatin1String("\\@"));
    return name;
}

void startXclipIn(QProcess &xclip, const QByteArray &bytes)
{
    // Its background child would keep our pipes open.
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
    if (xclip.waitForStarted(5000)) {
        xclip.write(bytes);
        xclip.closeWriteChannel();
    }
}

} // namespace

QProcess *ClipboardTools::startOwner(const Offers &offers, const QStringList &options)
{
    QStringList arguments = options;
    for (const auto &[target, bytes] : offers) {
        const QString path = m_dir.filePath(QString::number(++m_fileNumber));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return nullptr;
        file.close();
        arguments << QStringLiteral("--target") << escapedTarget(target) + QLatin1Char('@') + path;
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(QS_CLIPBOARD_OWNER), arguments);
    QElapsedTimer waited;
    waited.start();
    while (!process->canReadLine() && waited.elapsed() < 10000) {
        if (!process->waitForReadyRead(int(10000 - waited.elapsed())))
            break;
    }
    if (process->readLine().trimmed() != "ready")
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

bool ClipboardTools::copyWithXclip(const QByteArray &bytes)
{
    QProcess xclip;
    startXclipIn(xclip, bytes);
    return xclip.waitForFinished(5000) && xclip.exitCode() == 0;
}

void ClipboardTools::copyWithXclipLater(const QByteArray &bytes)
{
    auto process = std::make_unique<QProcess>();
    startXclipIn(*process, bytes);
    m_processes.push_back(std::move(process));
}

QByteArray ClipboardTools::readWithXclip(const QString &target)
{
    QProcess xclip;
    xclip.setStandardErrorFile(QProcess::nullDevice());
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(QStringLiteral("xclip"),
        { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
            QStringLiteral("-t"), target });
    if (!finished.wait(5000))
        return "<xclip did not finish>";
    return xclip.readAllStandardOutput();
}

void ClipboardTools::killAll()
{
    for (const auto &process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    m_processes.clear();
}
