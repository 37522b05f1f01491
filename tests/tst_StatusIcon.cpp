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
    // more, paused as much as recording; a tenth of the paused icon differs
    // as much from the recording one.
    void contrastOnPanels_data()
    {
        QTest::addColumn<bool>("drawn"); // the drawing used without SVG support
        QTest::newRow("from the icon files") << false;
        QTest::newRow("drawn") << true;
    }

    void contrastOnPanels()
    {
        QFETCH(bool, drawn);
        for (const QColor &panel : { QColor(0xdc, 0xda, 0xd5), QColor(0x2e, 0x34, 0x36) }) {
            const QImage recording
                = onPanel(drawn ? StatusIcon::fallbackIcon(false) : StatusIcon::icon(), panel);
            const QImage paused
                = onPanel(drawn ? StatusIcon::fallbackIcon(true) : StatusIcon::pausedIcon(), panel);
            int standingOut[2] = {};
            int unlikeRecording = 0;
            for (int y = 0; y < paused.height(); ++y) {
                for (int x = 0; x < paused.width(); ++x) {
                    const QColor before = recording.pixelColor(x, y), now = paused.pixelColor(x, y);
                    standingOut[0] += contrast(before, panel) >= 3 ? 1 : 0;
                    standingOut[1] += contrast(now, panel) >= 3 ? 1 : 0;
                    unlikeRecording += contrast(now, before) >= 3 ? 1 : 0;
                }
            }
            const int area = paused.width() * paused.height();
            QVERIFY2(standingOut[0] * 5 >= area && standingOut[1] * 5 >= area
                    && unlikeRecording * 10 >= area,
                qPrintable(panel.name()));
        }
    }
};

QTEST_MAIN(tst_StatusIcon)
#include "tst_StatusIcon.moc"
