// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

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

    // Adds a clip at the front of the history and returns it. An image clip
    // stores `image` as its PNG file.
    Clip add(const QString &preview, ClipKind kind = ClipKind::text, bool kept = false,
        const std::optional<QString> &text = {}, const QImage &image = {});

private:
    QTemporaryDir m_dir;
    QDateTime m_now;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<ClipStore> m_store;
};
