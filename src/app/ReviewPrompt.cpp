// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReviewPrompt.h"

#include "model/Defaults.h"
#include "model/SettingsKeys.h"

#include <QRegularExpression>
#include <QTimer>
#include <QVariantList>

namespace {

// The settings file keeps list elements as text, so an element written as a
// number reads back as a string of digits.
std::optional<qint64> integerElement(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::QString: {
        static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (ok && digits.match(text).hasMatch())
            return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

ReviewPrompt::ReviewPrompt(Defaults &defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
{
}

const QList<qint64> &ReviewPrompt::settingsThresholds()
{
    static const QList<qint64> thresholds { 5, 10 };
    return thresholds;
}

const QList<qint64> &ReviewPrompt::hotkeyThresholds()
{
    static const QList<qint64> thresholds { 30, 60, 200 };
    return thresholds;
}

void ReviewPrompt::recordSettingsOpen(QWidget *anchor)
{
    recordOpen(QLatin1String(SettingsKeys::reviewSettingsOpens),
        QLatin1String(SettingsKeys::reviewFiredSettingsThresholds), settingsThresholds(), anchor);
}

void ReviewPrompt::recordHotkeyPanelOpen(QWidget *anchor)
{
    recordOpen(QLatin1String(SettingsKeys::reviewHotkeyPanelOpens),
        QLatin1String(SettingsKeys::reviewFiredHotkeyThresholds), hotkeyThresholds(), anchor);
}

QList<qint64> ReviewPrompt::firedThresholds(const QString &firedKey) const
{
    const QVariant stored = m_defaults.object(firedKey);
    QVariantList elements;
    if (stored.typeId() == QMetaType::QVariantList)
        elements = stored.toList();
    else if (stored.typeId() == QMetaType::QStringList)
        for (const QString &text : stored.toStringList())
            elements.append(text);
    else
        return {};

    QList<qint64> fired;
    for (const QVariant &element : elements) {
        const std::optional<qint64> number = integerElement(element);
        if (!number)
            return {};
        fired.append(*number);
    }
    return fired;
}

void ReviewPrompt::recordOpen(const QString &counterKey, const QString &firedKey,
    const QList<qint64> &thresholds, QWidget *anchor)
{
    const qint64 count = m_defaults.integer(counterKey) + 1;
    m_defaults.setObject(counterKey, count);
    if (!thresholds.contains(count))
        return;

    QList<qint64> fired = firedThresholds(firedKey);
    // Once per threshold for good, even when the counter is later reset.
    if (fired.contains(count))
        return;
    fired.append(count);
    QVariantList stored;
    for (qint64 threshold : std::as_const(fired))
        stored.append(threshold);
    m_defaults.setObject(firedKey, stored);

    if (!anchor) {
        emit reviewRequested(nullptr);
        return;
    }
    QTimer::singleShot(0, this, [this, view = QPointer<QWidget>(anchor)] {
        if (view)
            emit reviewRequested(view);
    });
}
