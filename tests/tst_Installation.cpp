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
    u"bin/quillstack"_s,
    u"share/applications/io.github.quillstack.Quillstack.desktop"_s,
    u"share/metainfo/io.github.quillstack.quillstack.metainfo.xml"_s,
    u"share/man/man1/quillstack.1.gz"_s,
    u"share/doc/quillstack/copyright"_s,
    u"share/doc/quillstack/changelog.gz"_s,
    u"share/icons/hicolor/scalable/apps/io.github.quillstack.Quillstack.svg"_s,
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-symbolic.svg"),
    QStringLiteral(
        "share/icons/hicolor/symbolic/apps/io.github.quillstack.Quillstack-paused-symbolic.svg"),
    u"share/quillstack/translations/quillstack_de.qm"_s,
    u"share/quillstack/translations/globalhotkeys_de.qm"_s,
    u"share/gnome-shell/extensions/quillstack@quillstack.github.io/extension.js"_s,
    u"share/gnome-shell/extensions/quillstack@quillstack.github.io/core.mjs"_s,
    u"share/gnome-shell/extensions/quillstack@quillstack.github.io/schemas/gschemas.compiled"_s,
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
    return run(u"env"_s,
        { u"MANWIDTH=80"_s, u"LC_ALL=C.UTF-8"_s, u"man"_s, u"--warnings=w"_s, u"-l"_s, page }, ok,
        QString(), warnings);
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
        { u"--install"_s, buildDir, u"--prefix"_s, prefix.path() }, &ok);
    QVERIFY2(ok, qPrintable(output));
    for (const QString &file : installedFiles)
        QVERIFY2(QFileInfo(prefix.filePath(file)).isFile(), qPrintable(file));
    QVERIFY(QFileInfo(prefix.filePath(installedFiles.first())).isExecutable());

    output = run(u"desktop-file-validate"_s, { prefix.filePath(installedFiles[1]) }, &ok);
    QVERIFY2(ok && output.isEmpty(), qPrintable(output));
    // Not even a pedantic remark ("P: ...").
    output = run(u"appstreamcli"_s,
        { u"validate"_s, u"--no-net"_s, u"--pedantic"_s, prefix.filePath(installedFiles[2]) }, &ok);
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
    const QuillstackProcess::Result help = quillstack.run({ u"--help"_s });
    QCOMPARE(help.exitCode, 0);
    const QStringList helpOptions = optionNames(help.out, uR"(\s+)"_s);
    QVERIFY2(helpOptions.contains(u"--toggle-pinned"_s), qPrintable(help.out));

    bool ok = false;
    QString warnings;
    const QString manual
        = renderManual(buildDir + u"/compressed/quillstack.1.gz"_s, &ok, &warnings);
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
        { u"-G"_s, u"DEB"_s, u"-B"_s, packageDir.path(), u"--config"_s,
            buildDir + u"/CPackConfig.cmake"_s },
        &ok, buildDir);
    QVERIFY2(ok, qPrintable(output));
    const QStringList packages = QDir(packageDir.path()).entryList({ u"*.deb"_s });
    QCOMPARE(packages.size(), 1);
    // Its files come from the rules the installed tree above is checked
    // through; lintian tells any that land outside /usr.
    const QString deb = packageDir.filePath(packages.first());
    const QString depends = run(u"dpkg-deb"_s, { u"--field"_s, deb, u"Depends"_s }, &ok);
    QVERIFY(ok);
    for (const char *package :
        { "libqt6widgets6", "libqt6dbus6", "libxkbcommon-x11-0", "libqt6svg6" })
        QVERIFY2(depends.contains(QLatin1String(package)), qPrintable(depends));

    // Debian's checker has nothing to say, informational remarks included;
    // what it says to root alone goes to standard error. A Debug build is not
    // optimised and so cannot use the checked string and memory calls.
    QStringList lintian { u"--display-info"_s, u"--pedantic"_s, deb };
    if (QLatin1String(QUILLSTACK_BUILD_TYPE) == QLatin1String("Debug"))
        lintian.prepend(u"--suppress-tags=hardening-no-fortify-functions"_s);
    QString errors;
    output = run(u"lintian"_s, lintian, &ok, QString(), &errors);
    QVERIFY2(ok && output.isEmpty(), qPrintable(output + errors));
}

// Every source, script and build file names its licence in its first lines.
void tst_Installation::licenceLines()
{
    // The files in the checkout, new ones included, that git does not ignore.
    bool ok = false;
    const QString files = run(u"git"_s,
        { u"-C"_s, QStringLiteral(QUILLSTACK_SOURCE_DIR), u"ls-files"_s, u"--cached"_s,
            u"--others"_s, u"--exclude-standard"_s },
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
