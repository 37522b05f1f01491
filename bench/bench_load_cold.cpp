// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a large history the way the program does it: once, in a fresh
// process, where every page it touches is new. Compares ClipStore creation
// (map, parse, build the clips, sort) with QJsonDocument::fromJson of the
// same bytes already in memory, five fresh processes each, and prints medians.
//   bench_load_cold [clips]        (default 10000)
#include "BenchSupport.h"
#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

void writeHistory(const QString &dir, int count)
{
    QRandomGenerator random(1);
    QList<QByteArray> encoded;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        Clip clip;
        clip.id = QUuid::createUuid();
        clip.createdAt = now.addSecs(-i);
        const QString text = BenchSupport::randomText(random, 4000);
        clip.text = text;
        clip.preview = makePreview(text);
        if (i % 50 == 0) {
            QByteArray html;
            while (html.size() < 100000)
                html += "<p>lorem <b>ipsum</b></p>";
            clip.html = html;
        }
        clip.byteSize = text.size() + (clip.html ? clip.html->size() : 0);
        clip.contentHash = sha256Hex(text.toUtf8());
        encoded.append(ClipArchive::encodeClip(clip));
    }
    QDir().mkpath(dir + QStringLiteral("/Quillstack"));
    QFile file(dir + QStringLiteral("/Quillstack/clips.json"));
    file.open(QIODevice::WriteOnly);
    file.write(ClipArchive::archiveParts(encoded).join());
    QFile settings(dir + QStringLiteral("/settings.ini"));
    settings.open(QIODevice::WriteOnly);
    settings.write("[General]\nmaxClipCount=1000000\nmaxTotalBytes=0\nmaxAgeHours=0\n");
}

int child(const QString &mode, const QString &dir)
{
    QElapsedTimer timer;
    if (mode == QLatin1String("qjson")) {
        QFile file(dir + QStringLiteral("/Quillstack/clips.json"));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        timer.start();
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        std::printf("%lld\n", static_cast<long long>(timer.nsecsElapsed()));
        return document.isArray() ? 0 : 1;
    }
    Defaults defaults(dir + QStringLiteral("/settings.ini"));
    Settings settings(defaults);
    timer.start();
    ClipStore store(settings, dir);
    std::printf("%lld\n", static_cast<long long>(timer.nsecsElapsed()));
    return store.clips().isEmpty() ? 1 : 0;
}

double medianMs(const QString &mode, const QString &dir)
{
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        QProcess process;
        process.start(
            QCoreApplication::applicationFilePath(), { QStringLiteral("--child"), mode, dir });
        process.waitForFinished(-1);
        samples.push_back(process.readAllStandardOutput().trimmed().toDouble() / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child"))
        return child(arguments[2], arguments[3]);
    const int count = arguments.size() > 1 ? arguments[1].toInt() : 10000;
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
    writeHistory(dir.path(), count);
    const qint64 bytes = QFileInfo(dir.path() + QStringLiteral("/Quillstack/clips.json")).size();
    const double load = medianMs(QStringLiteral("load"), dir.path());
    const double qjson = medianMs(QStringLiteral("qjson"), dir.path());
    std::printf("%d clips, %.1f MB: ClipStore load %.0f ms, QJsonDocument::fromJson %.0f ms, "
                "ratio %.2f (median of 5 fresh processes each)\n",
        count, double(bytes) / 1e6, load, qjson, load / qjson);
    return 0;
}
