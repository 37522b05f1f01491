// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Defaults.h"

#include "model/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The settings file may hold the shortcuts the user chose; it is private
// from before its first byte: its folder is made 0700 before QSettings
// would make it with the umask's modes, and the file exists 0600 before
// QSettings writes, which then keeps the modes of the file it replaces.
void makePrivate(const QString &fileName)
{
    AtomicFile::makePrivateDir(QFileInfo(fileName).absolutePath());
    const int fd = ::open(QFile::encodeName(fileName).constData(),
        O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, 0600);
    ::close(fd);
}

} // namespace

Defaults::Defaults()
    : Defaults(userSettingsFile())
{
}

Defaults::Defaults(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

Defaults::~Defaults() = default;

void Defaults::registerDefaults(const QVariantMap &values)
{
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant Defaults::object(const QString &key) const
{
    const QVariant stored = m_settings->value(key);
    if (stored.isValid())
        return stored;
    return m_registered.value(key);
}

bool Defaults::contains(const QString &key) const
{
    return m_settings->contains(key);
}

qint64 Defaults::integer(const QString &key) const
{
    const QVariant value = object(key);
    bool ok = false;
    qint64 result = value.toLongLong(&ok);
    if (ok)
        return result;
    // "3.7" reads as 3, as a defaults store truncates a real number.
    const double real = value.toDouble(&ok);
    if (ok && real >= -9.2e18 && real <= 9.2e18)
        return qint64(real);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true"))
        return 1;
    return 0;
}

bool Defaults::boolean(const QString &key) const
{
    const QVariant value = object(key);
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && number != 0;
}

QString Defaults::string(const QString &key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return QString();
}

void Defaults::setObject(const QString &key, const QVariant &value)
{
    makePrivate(m_settings->fileName());
    m_settings->setValue(key, value);
    m_settings->sync();
}

void Defaults::remove(const QString &key)
{
    makePrivate(m_settings->fileName());
    m_settings->remove(key);
    m_settings->sync();
}

QString Defaults::userSettingsFile(const QString &configDir)
{
    QString base = configDir;
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = base + QStringLiteral("/Quillstack");
    const QString file = folder + QStringLiteral("/Quillstack.conf");
    const QString earlier = folder + QStringLiteral("/Quillstack.ini");
    if (!QFileInfo::exists(file) && QFileInfo::exists(earlier) && !QFile::rename(earlier, file))
        qWarning().noquote() << QStringLiteral("Cannot move the settings from %1 to %2; "
                                               "the earlier settings are not used")
                                    .arg(earlier, file);
    return file;
}

QString Defaults::fileName() const
{
    return m_settings->fileName();
}
