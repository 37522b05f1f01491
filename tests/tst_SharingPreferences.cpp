// SPDX-License-Identifier: GPL-3.0-or-later
// The sharing section of the settings: the passphrase entered once, told
// when it is not the other machines', and the machines as the user reads them.
#include "PaintedPixels.h"
#include "model/Defaults.h"
#include "sync/SharingSettings.h"
#include "ui/SharingPreferences.h"
#include "ui/Translations.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_SharingPreferences : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }
    void passphrase_data();
    void passphrase();
};

void tst_SharingPreferences::passphrase_data()
{
    QTest::addColumn<bool>("withFolder");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<QString>("told");

    QTest::newRow("the other machines' passphrase")
        << true << u"shared words"_s << true << qtTrId("prefs.sharing.keySet");
    QTest::newRow("another passphrase is told, nothing kept")
        << true << u"Shared words"_s << false
        << u"The passphrase is not the one the other machines use."_s;
    QTest::newRow("no folder yet")
        << false << u"shared words"_s << false << qtTrId("prefs.sharing.needFolderAndPassphrase");
}

void tst_SharingPreferences::passphrase()
{
    QFETCH(bool, withFolder);
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    QFETCH(QString, told);

    QTemporaryDir dir;
    const QString folder = dir.filePath(u"Sync"_s);
    // A machine already shares the folder, with a key cheap to make.
    QString error;
    QVERIFY2(SharingKey::setUp(folder, QByteArray(32, 'a'), u"shared words"_s,
                 dir.filePath(u"other/key"_s), SealedBox::minimumLimits(), &error),
        qPrintable(error));
    Defaults defaults(dir.filePath(u"settings.ini"_s));
    if (withFolder)
        SharingSettings(defaults).setFolder(folder);
    const QString support = dir.filePath(u"share"_s);
    MachineStatus laptop { QByteArray(32, 'a'), u"laptop"_s, {}, 3,
        MachineStatus::State::wrongPassphrase, 0 };
    SharingPreferences section(defaults, support, [&] { return QList<MachineStatus> { laptop }; });
    QSignalSpy changed(&section, &SharingPreferences::sharingChanged);
    section.resize(600, section.sizeHint().height());
    section.show();

    section.passphraseField()->setText(typed);
    QTest::mouseClick(section.passphraseButton(), Qt::LeftButton);
    // The key is made on a worker; the row is closed to input meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(section.passphraseField()->isEnabled(), 60000);

    QCOMPARE(SharingKey::readStored(SharingSettings::keyPath(support)).has_value(), kept);
    QCOMPARE(changed.size(), kept ? 1 : 0);
    QVERIFY(section.passphraseField()->text().isEmpty() || !withFolder);
    // The verdict stays while the machines are told again.
    section.refresh();
    QCOMPARE(section.statusLabel()->text(), told);
    // What the user reads is painted: the verdict, and the machine whose
    // passphrase differs.
    const QImage shot = section.grab().toImage();
    const QRect status = section.statusLabel()->geometry();
    QVERIFY(pixelsUnlikeSurroundings(shot, status.adjusted(1, 0, 0, 0)) > 20);
    const QLabel *machines = section.findChildren<QLabel *>().last();
    QVERIFY(machines->text().contains(u"laptop"_s));
    QVERIFY(machines->text().contains(qtTrId("prefs.sharing.machineWrongPassphrase")));
    QVERIFY(pixelsUnlikeSurroundings(shot, machines->geometry().adjusted(1, 0, 0, 0)) > 20);
}

QTEST_MAIN(tst_SharingPreferences)
#include "tst_SharingPreferences.moc"
