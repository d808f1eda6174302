// Preloaded into a Qt program (LD_PRELOAD), ends it as soon as its first window has been exposed
// and the events of that expose handled, so that a program's run time is its time from start
// to shown. The same library ends the window and the bare window that it is compared with, and
// neither needs a line of code for it.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <unistd.h>

namespace {

class ExposeWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && watched->isWindowType() && !seen) {
            seen = true;
            // Queued behind the expose, whose handling paints the window; _exit leaves out the
            // tear-down, which is no part of starting.
            QTimer::singleShot(0, [] { ::_exit(0); });
        }
        return false;
    }

private:
    bool seen = false;
};

void WatchForExpose() {
    QCoreApplication::instance()->installEventFilter(new ExposeWatch(QCoreApplication::instance()));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchForExpose)
