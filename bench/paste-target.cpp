// SPDX-License-Identifier: GPL-3.0-or-later
// The program bench_paste pastes into: a window that prints "ready" once it
// has the keyboard, then for each Ctrl+V it gets the time it got it, in
// nanoseconds of the monotonic clock, which all processes share.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

class Target : public QWidget
{
protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() != Qt::Key_V || !(event->modifiers() & Qt::ControlModifier))
            return;
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
    }
    void focusInEvent(QFocusEvent *) override
    {
        if (m_ready)
            return;
        m_ready = true;
        std::printf("ready\n");
        std::fflush(stdout);
    }

private:
    bool m_ready = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Target target;
    target.setFocusPolicy(Qt::StrongFocus);
    target.resize(320, 200);
    target.show();
    return app.exec();
}
