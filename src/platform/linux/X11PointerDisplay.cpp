#include "X11PointerDisplay.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <memory>

namespace korvo {

namespace {

void readPointer(const std::function<void(const QString&)>& report) {
    if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        report(screen->name());
    }
}

}  // namespace

Subscription X11PointerDisplay::watch(std::function<void(const QString& display)> report) {
    readPointer(report);
    auto beat = std::make_shared<TaskHandle>(
        m_loop.scheduleRepeating(kInterval, kTolerance, [report] { readPointer(report); }));
    return Subscription([beat] { beat->cancel(); });
}

}  // namespace korvo
