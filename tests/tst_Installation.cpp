// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What `cmake --install` and `cpack -G DEB` produce: the files a desktop
// looks for, in the places it looks, accepted by the freedesktop validators.
class tst_Installation : public QObject
{
    Q_OBJECT
private slots:
    void installedTree();
    void debianPackage();

private:
    static QString run(const QString &program, const QStringList &arguments, bool *ok,
        const QString &workingDirectory = QString());
};

namespace {

const QString buildDir = qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR");

// Relative to the installation prefix.
const QStringList installedFiles {
    QStringLiteral("bin/quillstack"),
    QStringLiteral("share/applications/io.github.quillstack.Quillstack.desktop"),
    QStringLiteral("share/metainfo/io.github.quillstack.Quillstack.metainfo.xml"),
    QStringLiteral("share/icons/hicolor/scalable/apps/io.github.quillstack.Quillstack.svg"),
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-symbolic.svg"),
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-paused-symbolic.svg"),
    QStringLiteral("share/quillstack/translations/quillstack_de.qm"),
    QStringLiteral("share/quillstack/translations/globalhotkeys_de.qm"),
};

} // namespace

QString tst_Installation::run(
    const QString &program, const QStringList &arguments, bool *ok, const QString &workingDirectory)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    *ok = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAll());
}

void tst_Installation::installedTree()
{
    QTemporaryDir prefix;
    bool ok = false;
    QString output = run(QStringLiteral(CMAKE_COMMAND),
        { QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"), prefix.path() }, &ok);
    QVERIFY2(ok, qPrintable(output));
    for (const QString &file : installedFiles)
        QVERIFY2(QFileInfo(prefix.filePath(file)).isFile(), qPrintable(file));
    QVERIFY(QFileInfo(prefix.filePath(installedFiles.first())).isExecutable());

    output
        = run(QStringLiteral("desktop-file-validate"), { prefix.filePath(installedFiles[1]) }, &ok);
    QVERIFY2(ok && output.isEmpty(), qPrintable(output));
    output = run(QStringLiteral("appstreamcli"),
        { QStringLiteral("validate"), QStringLiteral("--no-net"),
            prefix.filePath(installedFiles[2]) },
        &ok);
    QVERIFY2(ok, qPrintable(output));
}

void tst_Installation::debianPackage()
{
    QTemporaryDir packageDir;
    bool ok = false;
    QString output = run(QStringLiteral(CPACK_COMMAND),
        { QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), packageDir.path(),
            QStringLiteral("--config"), buildDir + QStringLiteral("/CPackConfig.cmake") },
        &ok, buildDir);
    QVERIFY2(ok, qPrintable(output));
    const QStringList packages = QDir(packageDir.path()).entryList({ QStringLiteral("*.deb") });
    QCOMPARE(packages.size(), 1);
    const QString deb = packageDir.filePath(packages.first());

    output = run(QStringLiteral("dpkg-deb"), { QStringLiteral("--contents"), deb }, &ok);
    QVERIFY2(ok, qPrintable(output));
    for (const QString &file : installedFiles)
        QVERIFY2(output.contains(QStringLiteral(" ./usr/") + file + u'\n'), qPrintable(file));
    const QString depends = run(QStringLiteral("dpkg-deb"),
        { QStringLiteral("--field"), deb, QStringLiteral("Depends") }, &ok);
    QVERIFY(ok);
    for (const char *package :
        { "libqt6widgets6", "libqt6dbus6", "libxkbcommon-x11-0", "libqt6svg6" })
        QVERIFY2(depends.contains(QLatin1String(package)), qPrintable(depends));
}

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_Installation.moc"
