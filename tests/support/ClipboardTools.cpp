// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

QProcess *ClipboardTools::startOwner(const Offers &offers, const QStringList &options)
{
    QStringList arguments = options;
    for (const auto &[target, bytes] : offers) {
        const QString path = m_helpers.writeFile(bytes);
        if (path.isEmpty())
            return nullptr;
        arguments << u"--target"_s << target << path;
    }
    return m_helpers.startUntilReady(QStringLiteral(QS_CLIPBOARD_OWNER), arguments);
}

bool ClipboardTools::copyWithXclip(const QByteArray &bytes)
{
    QProcess xclip;
    // Its background child would keep our pipes open.
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(u"xclip"_s, { u"-i"_s, u"-selection"_s, u"clipboard"_s });
    if (!xclip.waitForStarted(5000))
        return false;
    xclip.write(bytes);
    xclip.closeWriteChannel();
    return xclip.waitForFinished(5000) && xclip.exitCode() == 0;
}

QByteArray ClipboardTools::readWithXclip(const QString &target)
{
    QProcess xclip;
    xclip.setStandardErrorFile(QProcess::nullDevice());
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(u"xclip"_s, { u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, target });
    if (!finished.wait(5000))
        return "<xclip did not finish>";
    return xclip.readAllStandardOutput();
}
