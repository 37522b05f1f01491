#pragma once

#include "ClipStore.h"
#include "Defaults.h"
#include "Settings.h"

#include <QImage>
#include <QTemporaryDir>

#include <memory>

// A real clip store in a temporary folder, with settings in a temporary file
// and a clock that moves one minute per reading.
class TestHistory
{
public:
    TestHistory();

    ClipStore &store() { return *m_store; }
    Settings &settings() { return *m_settings; }

    // Each adds a clip at the front of the history and returns it.
    Clip addText(const QString &preview, const std::optional<QString> &text, bool kept = false);
    Clip addText(const QString &text, bool kept = false) { return addText(text, text, kept); }
    Clip addImage(const QString &preview, const QImage &image);
    Clip addFiles(const QString &preview, const QString &paths);

private:
    Clip added(bool kept);

    QTemporaryDir m_dir;
    QDateTime m_now;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<ClipStore> m_store;
};
