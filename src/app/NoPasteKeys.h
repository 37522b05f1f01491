// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/PasteKeys.h"

// A desktop that lets us press no keys for other programs, and why.
class NoPasteKeys : public PasteKeys
{
    Q_OBJECT
public:
    explicit NoPasteKeys(QString reason, QObject *parent = nullptr)
        : PasteKeys(parent)
        , m_reason(std::move(reason))
    {
    }

    QString unavailableReason() const override { return m_reason; }
    std::optional<Focus> keyboardFocus() override { return std::nullopt; }
    bool press(PasteChord, QString *error) override
    {
        *error = m_reason;
        return false;
    }

private:
    QString m_reason;
};
