// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// What `cmake --install` and `cpack -G DEB` produce: the files a desktop
// looks for, in the places it looks, accepted by the freedesktop validators
// and by Debian's package checker; and the licence named in every source.
class tst_Installation : public QObject
{
    Q_OBJECT
private slots:
    void installedTree();
    void manualListsTheOptions();
    void debianPackage();
    void licenceLines();
};

namespace {

const QString buildDir = qEnvironmentVariable("QUILLSTACK_TEST_BINARY_DIR");

// Relative to the installation prefix.
const QStringList installedFiles {
    QStringLiteral("bin/quillstack"),
    QStringLiteral("share/applications/io.github.quillstack.Quillstack.desktop"),
    QStringLiteral("share/metainfo/io.github.quillstack.quillstack.metainfo.xml"),
    QStringLiteral("share/man/man1/quillstack.1.gz"),
    QStringLiteral("share/doc/quillstack/copyright"),
    QStringLiteral("share/doc/quillstack/changelog.gz"),
    QStringLiteral("share/icons/hicolor/scalable/apps/io.github.quillstack.Quillstack.svg"),
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-symbolic.svg"),
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-paused-symbolic.svg"),
    QStringLiteral("share/quillstack/translations/quillstack_de.qm"),
    QStringLiteral("share/quillstack/translations/globalhotkeys_de.qm"),
    QStringLiteral("share/gnome-shell/extensions/quillstack@quillstack.github.io/extension.js"),
    QStringLiteral("share/gnome-shell/extensions/quillstack@quillstack.github.io/core.mjs"),
    QStringLiteral(
        "share/gnome-shell/extensions/quillstack@quillstack.github.io/schemas/gschemas.compiled"),
};

// Standard output, and with `errors` standard error apart; else both together.
QString run(const QString &program, const QStringList &arguments, bool *ok,
    const QString &workingDirectory = QString(), QString *errors = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(errors ? QProcess::SeparateChannels : QProcess::MergedChannels);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    *ok = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (errors)
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The manual page as `man` shows it on an 80-column terminal; groff's
// warnings, all of them, in `warnings`.
QString renderManual(const QString &page, bool *ok, QString *warnings)
{
    return run(QStringLiteral("env"),
        { QStringLiteral("MANWIDTH=80"), QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("man"),
            QStringLiteral("--warnings=w"), QStringLiteral("-l"), page },
        ok, QString(), warnings);
}

// The option names a text lists at the start of its lines ("-h, --help",
// "--copy <ID|INDEX>", "--show Show the panel."), sorted.
QStringList optionNames(const QString &text, const QString &indent)
{
    const QRegularExpression line(
        u"^"_s + indent + uR"((?:(-\w), )?(--[\w-]+))"_s, QRegularExpression::MultilineOption);
    QStringList names;
    for (const QRegularExpressionMatch &match : line.globalMatch(text)) {
        if (match.hasCaptured(1))
            names << match.captured(1);
        names << match.captured(2);
    }
    names.sort();
    return names;
}

} // namespace

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
    // Not even a pedantic remark ("P: ...").
    output = run(QStringLiteral("appstreamcli"),
        { QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
            prefix.filePath(installedFiles[2]) },
        &ok);
    QVERIFY2(ok
            && !output.contains(
                QRegularExpression(u"^[EWIP]: "_s, QRegularExpression::MultilineOption)),
        qPrintable(output));

    // The manual page, compressed as installed, renders without a warning.
    QString warnings;
    output = renderManual(prefix.filePath(installedFiles[3]), &ok, &warnings);
    QVERIFY2(ok && warnings.isEmpty(), qPrintable(warnings));
    QVERIFY2(output.contains(u"\nEXIT STATUS\n"_s), qPrintable(output));
}

// The manual describes the options that `--help` lists, no more and no fewer.
void tst_Installation::manualListsTheOptions()
{
    const QuillstackProcess quillstack;
    const QuillstackProcess::Result help = quillstack.run({ QStringLiteral("--help") });
    QCOMPARE(help.exitCode, 0);
    const QStringList helpOptions = optionNames(help.out, uR"(\s+)"_s);
    QVERIFY2(helpOptions.contains(u"--toggle-pinned"_s), qPrintable(help.out));

    bool ok = false;
    QString warnings;
    const QString manual
        = renderManual(buildDir + QStringLiteral("/compressed/quillstack.1.gz"), &ok, &warnings);
    QVERIFY2(ok, qPrintable(warnings));
    const qsizetype start = manual.indexOf(u"\nOPTIONS\n"_s);
    const qsizetype end = manual.indexOf(u"\nEXIT STATUS\n"_s);
    QVERIFY2(start >= 0 && end > start, qPrintable(manual));
    // Tags stand 7 columns in, their descriptions 14.
    QCOMPARE(optionNames(manual.mid(start, end - start), u" {7}"_s), helpOptions);
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

    // Debian's checker has nothing to say, informational remarks included;
    // what it says to root alone goes to standard error. A Debug build is not
    // optimised and so cannot use the checked string and memory calls.
    QStringList lintian { QStringLiteral("--display-info"), QStringLiteral("--pedantic"), deb };
    if (QLatin1String(QUILLSTACK_BUILD_TYPE) == QLatin1String("Debug"))
        lintian.prepend(QStringLiteral("--suppress-tags=hardening-no-fortify-functions"));
    QString errors;
    output = run(QStringLiteral("lintian"), lintian, &ok, QString(), &errors);
    QVERIFY2(ok && output.isEmpty(), qPrintable(output + errors));
}

// Every source, script and build file names its licence in its first lines.
void tst_Installation::licenceLines()
{
    // The files in the checkout, new ones included, that git does not ignore.
    bool ok = false;
    const QString files = run(QStringLiteral("git"),
        { QStringLiteral("-C"), QStringLiteral(QUILLSTACK_SOURCE_DIR), QStringLiteral("ls-files"),
            QStringLiteral("--cached"), QStringLiteral("--others"),
            QStringLiteral("--exclude-standard") },
        &ok);
    if (!ok)
        QSKIP("The sources are not a git checkout");
    // Texts whose format carries its licence, or has no room for a comment,
    // and samples of other programs' output.
    const QRegularExpression exempt(
        uR"(^(LICENSE|.*\.md|resources/debian/.*|fuzz/corpus/.*|tests/data/.*)$)"_s);
    QStringList missing;
    for (const QString &file : files.split(u'\n', Qt::SkipEmptyParts)) {
        if (exempt.match(file).hasMatch())
            continue;
        QFile source(QStringLiteral(QUILLSTACK_SOURCE_DIR "/") + file);
        if (!source.exists()) // deleted, and not yet committed
            continue;
        QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(file));
        QByteArray head;
        for (int line = 0; line < 3 && !source.atEnd(); ++line)
            head += source.readLine();
        if (!head.contains("SPDX-License-Identifier: "))
            missing << file;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(u"No SPDX line in: "_s + missing.join(u", "_s)));
}

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_Installation.moc"
