// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LoginItem.h"

#include "model/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString entryName = QStringLiteral("quillstack.desktop");

// The Exec value as the Desktop Entry Specification wants it: quoted when the
// path holds a reserved character, with the backslash escapes of both the
// quoting and the file's string values.
QByteArray execValue(const QString &path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString value = path;
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool quote
        = std::any_of(value.cbegin(), value.cend(), [](QChar c) { return reserved.contains(c); });
    if (quote) {
        QString quoted;
        for (const QChar c : std::as_const(value)) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        value = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return value.toUtf8();
}

// Whether the entry at this path starts the program: it exists and is
// neither hidden nor switched off.
bool entryStartsProgram(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "Hidden" && value == "true")
            return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false")
            return false;
    }
    return true;
}

} // namespace

LoginItem::LoginItem()
    : LoginItem(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/autostart"),
        [] {
            QStringList dirs;
            const QString configDirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
            const QStringList bases = configDirs.isEmpty()
                ? QStringList { QStringLiteral("/etc/xdg") }
                : configDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
            for (const QString &base : bases)
                dirs.append(base + QStringLiteral("/autostart"));
            return dirs;
        }(),
        QCoreApplication::applicationFilePath())
{
}

LoginItem::LoginItem(QString userDir, QStringList systemDirs, QString executable)
    : m_userDir(std::move(userDir))
    , m_systemDirs(std::move(systemDirs))
    , m_executable(std::move(executable))
{
}

QString LoginItem::entryPath() const
{
    return m_userDir + QLatin1Char('/') + entryName;
}

QString LoginItem::systemEntryPath() const
{
    for (const QString &dir : m_systemDirs) {
        const QString path = dir + QLatin1Char('/') + entryName;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

bool LoginItem::writeEntry(const QByteArray &contents, QString *error)
{
    // A folder we create is private; an existing one is the user's business.
    if (!QFileInfo(m_userDir).isDir() && !AtomicFile::makePrivateDir(m_userDir)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(m_userDir);
        return false;
    }
    return AtomicFile::write(entryPath(), contents, error);
}

bool LoginItem::registerItem(QString *error)
{
    const QByteArray contents = "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=Quillstack\n"
                                "Comment=Clipboard history\n"
                                "Exec="
        + execValue(m_executable)
        + "\n"
          "Icon=io.github.quillstack.Quillstack\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
    return writeEntry(contents, error);
}

bool LoginItem::unregisterItem(QString *error)
{
    if (!systemEntryPath().isEmpty())
        return writeEntry(
            "[Desktop Entry]\nType=Application\nName=Quillstack\nHidden=true\n", error);
    QFile entry(entryPath());
    if (!entry.exists() || entry.remove())
        return true;
    if (error)
        *error = entry.errorString();
    return false;
}

bool LoginItem::isEnabled() const
{
    // The user's entry, when there is one, decides over the system's.
    if (QFileInfo::exists(entryPath()))
        return entryStartsProgram(entryPath());
    const QString system = systemEntryPath();
    return !system.isEmpty() && entryStartsProgram(system);
}
