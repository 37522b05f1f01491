// SPDX-License-Identifier: GPL-3.0-or-later
// Two machines' histories shared through the folders of two Syncthing
// instances (run by bench/sync-propagation inside
// tests/support/syncthing-pair.sh): copies into A's history, and prints for
// each, in seconds, how long it took to be in B's history. B learns of it
// as the program does, from the file system's notifications.
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "sync/SharedFolder.h"
#include "sync/SyncEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// One machine: its settings, history and the engine that shares it.
struct Machine
{
    Machine(const QTemporaryDir &home, const QString &name)
        : defaults(home.filePath(name + QStringLiteral("/settings.ini")))
        , settings(defaults)
        , store(settings, home.filePath(name + QStringLiteral("/share")))
        , keyFile(home.filePath(name + QStringLiteral("/key")))
    {
    }

    bool setUp(const QString &folder, QString *error)
    {
        if (!SharingKey::setUp(folder, id, QStringLiteral("bench passphrase"), keyFile,
                SealedBox::minimumLimits(), error))
            return false;
        engine = std::make_unique<SyncEngine>(store,
            SyncEngine::Options { folder, id, *SharingKey::readStored(keyFile),
                SyncEngine::Scope::all, QString::fromLatin1(id.left(8)) });
        engine->start();
        return true;
    }

    bool holds(const QString &text) const
    {
        for (const Clip &clip : store.clips()) {
            if (clip.text == text)
                return true;
        }
        return false;
    }

    QByteArray id = SharedFolder::newMachineId();
    Defaults defaults;
    Settings settings;
    ClipStore store;
    QString keyFile;
    std::unique_ptr<SyncEngine> engine;
};

// Runs the event loop until `done`, at most `seconds`.
bool waitFor(const std::function<bool()> &done, int seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::msleep(2);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    const QString folderA = qEnvironmentVariable("QUILLSTACK_PAIR_A_FOLDER");
    const QString folderB = qEnvironmentVariable("QUILLSTACK_PAIR_B_FOLDER");
    if (folderA.isEmpty() || folderB.isEmpty()) {
        std::fprintf(stderr, "run inside tests/support/syncthing-pair.sh\n");
        return 2;
    }
    QTemporaryDir home;
    Machine a(home, QStringLiteral("a"));
    Machine b(home, QStringLiteral("b"));
    QString error;
    // B adopts A's salt once Syncthing has brought A's key record over.
    if (!a.setUp(folderA, &error)
        || !waitFor([&] { return QFile::exists(SharedFolder(folderB, {}).keyPath(a.id)); }, 60)
        || !b.setUp(folderB, &error)) {
        std::fprintf(stderr, "set-up failed: %s\n", qPrintable(error));
        return 1;
    }
    for (int i = 0; i < copies; ++i) {
        const QString text = QStringLiteral("copy %1 of the propagation probe").arg(i);
        QElapsedTimer timer;
        timer.start();
        ClipContent content; // text, the kind a copy of text makes
        content.text = text;
        content.preview = makePreview(text);
        content.contentHash = sha256Hex(text.toUtf8());
        a.store.add(content);
        if (waitFor([&] { return b.holds(text); }, 30))
            std::printf("%.3f\n", double(timer.nsecsElapsed()) / 1e9);
        else
            std::printf("lost\n");
        std::fflush(stdout);
        QElapsedTimer pause;
        pause.start();
        waitFor([&] { return pause.elapsed() >= 500; }, 1);
    }
    return 0;
}
