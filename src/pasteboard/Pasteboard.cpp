#include "Pasteboard.h"

std::optional<QByteArray> PasteboardContents::dataForType(const QString &type) const
{
    for (const auto &[name, bytes] : data) {
        if (name == type)
            return bytes;
    }
    return std::nullopt;
}

void PasteboardContents::setData(const QString &type, const QByteArray &bytes)
{
    if (!types.contains(type))
        types.append(type);
    for (auto &entry : data) {
        if (entry.first == type) {
            entry.second = bytes;
            return;
        }
    }
    data.append({type, bytes});
}

std::optional<QString> Pasteboard::stringForType(const QString &type) const
{
    const auto bytes = dataForType(type);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}
