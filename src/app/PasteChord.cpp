// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasteChord.h"

const QStringList &knownTerminals()
{
    static const QStringList terminals {
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.Terminal"),
        QStringLiteral("org.gnome.Console"),
        QStringLiteral("kgx"),
        QStringLiteral("konsole"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("yakuake"),
        QStringLiteral("kitty"),
        QStringLiteral("alacritty"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("terminator"),
        QStringLiteral("tilix"),
        QStringLiteral("com.gexperts.Tilix"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("sakura"),
        QStringLiteral("terminology"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("ghostty"),
        QStringLiteral("contour"),
        QStringLiteral("blackbox"),
        QStringLiteral("com.raggesilver.BlackBox"),
        QStringLiteral("io.elementary.terminal"),
        QStringLiteral("Eterm"),
    };
    return terminals;
}

PasteChord pasteChordFor(const QStringList &names, const QStringList &extraTerminals)
{
    for (const QString &name : names) {
        if (knownTerminals().contains(name, Qt::CaseInsensitive)
            || extraTerminals.contains(name, Qt::CaseInsensitive))
            return PasteChord::ctrlShiftV;
    }
    return PasteChord::ctrlV;
}
