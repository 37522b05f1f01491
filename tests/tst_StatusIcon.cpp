// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusIcon.h"

#include <QIcon>
#include <QPainter>
#include <QTest>

#include <cmath>

namespace {

// Relative luminance and contrast ratio as the web's accessibility rules
// define them.
double luminance(const QColor &color)
{
    const auto channel
        = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF())
        + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The icon as a tray of this colour shows it, 22 pixels square.
QImage onPanel(const QIcon &icon, const QColor &panel)
{
    QImage image(22, 22, QImage::Format_RGB32);
    image.fill(panel);
    QPainter painter(&image);
    icon.paint(&painter, image.rect());
    return image;
}

} // namespace

class tst_StatusIcon : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The icons come from the program, not from whatever theme this
        // machine has installed.
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName(QString());
    }

    // A fifth of the icon stands out from light and dark panels at 3 : 1 or
    // more, paused as much as recording; the paused icon looks different.
    void contrastOnPanels_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("drawn"); // the drawing used without SVG support
        QTest::addColumn<QColor>("panel");
        const QColor light(0xdc, 0xda, 0xd5);
        const QColor dark(0x2e, 0x34, 0x36);
        for (const bool drawn : { false, true }) {
            for (const bool paused : { false, true }) {
                for (const auto &[name, panel] : { std::pair("light", light), { "dark", dark } }) {
                    QTest::addRow("%s%s, %s panel", paused ? "paused" : "recording",
                        drawn ? " (drawn)" : "", name)
                        << paused << drawn << panel;
                }
            }
        }
    }

    void contrastOnPanels()
    {
        QFETCH(bool, paused);
        QFETCH(bool, drawn);
        QFETCH(QColor, panel);
        const auto shown = [&](bool pausedIcon) {
            return onPanel(drawn ? StatusIcon::fallbackIcon(pausedIcon)
                    : pausedIcon ? StatusIcon::pausedIcon()
                                 : StatusIcon::icon(),
                panel);
        };
        const QImage image = shown(paused);
        const QImage recording = shown(false);
        int standingOut = 0;
        int unlikeRecording = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                standingOut += contrast(image.pixelColor(x, y), panel) >= 3 ? 1 : 0;
                unlikeRecording
                    += contrast(image.pixelColor(x, y), recording.pixelColor(x, y)) >= 3 ? 1 : 0;
            }
        }
        QVERIFY2(standingOut * 5 >= image.width() * image.height(),
            qPrintable(QString::number(standingOut)));
        if (paused)
            QVERIFY2(unlikeRecording * 10 >= image.width() * image.height(),
                qPrintable(QString::number(unlikeRecording)));
    }
};

QTEST_MAIN(tst_StatusIcon)
#include "tst_StatusIcon.moc"
