// SPDX-License-Identifier: GPL-3.0-or-later
// Another program's window for the desktop tests: it shows itself, prints its
// window id once it is on screen, then waits to be killed. With a third
// argument "--report-focus" it also prints "focus in" and "focus out" as the
// keyboard comes and goes, which is all a Wayland client can know of it.
#include <QApplication>
#include <QLineEdit>
#include <QTextStream>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

class ExposeAnnouncer : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWindow *>(watched);
        if (!m_done && event->type() == QEvent::Expose && window && window->isExposed()) {
            m_done = true;
            QTextStream(stdout) << window->winId() << Qt::endl;
        }
        return false;
    }

private:
    bool m_done = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The program's name as the window announces it (the class of WM_CLASS).
    if (argc > 2)
        QApplication::setApplicationName(QString::fromLocal8Bit(argv[2]));
    QLineEdit window;
    window.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"qs-focus-target"_s);
    window.setGeometry(60, 60, 320, 80);
    window.winId();
    ExposeAnnouncer announcer;
    window.windowHandle()->installEventFilter(&announcer);
    if (argc > 3 && qstrcmp(argv[3], "--report-focus") == 0) {
        QObject::connect(&app, &QGuiApplication::focusWindowChanged, [](QWindow *focused) {
            QTextStream(stdout) << (focused ? "focus in" : "focus out") << Qt::endl;
        });
    }
    window.show();
    return app.exec();
}
