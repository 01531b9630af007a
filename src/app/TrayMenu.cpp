#include "TrayMenu.h"

#include "ui/kit/Symbols.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace korvo {

namespace {

QIcon trayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        const QImage img = ui::Symbols::render(QStringLiteral("capsule.fill"), size,
                                               QColor(Qt::white), 1.0);
        if (!img.isNull()) {
            icon.addPixmap(QPixmap::fromImage(img));
        }
    }
    return icon;
}

}  // namespace

TrayMenu::TrayMenu() {
    m_menu.addAction(QStringLiteral("Settings"), [this] { openSettings(); });
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Korvo"), [] { QApplication::quit(); });
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
}

TrayMenu::~TrayMenu() {
    delete m_settings.data();
}

bool TrayMenu::install() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    m_tray = std::make_unique<QSystemTrayIcon>(trayIcon());
    m_tray->setToolTip(QStringLiteral("Korvo"));
    m_tray->setContextMenu(&m_menu);
    m_tray->show();
    return true;
}

void TrayMenu::popup(const QPoint& at) { m_menu.popup(at); }

void TrayMenu::openSettings() {
    if (m_settings) {
        m_settings->show();
        m_settings->raise();
        m_settings->activateWindow();
        return;
    }
    // A plain window for now; the full settings arrive with the settings issue.
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Korvo Settings"));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(new QLabel(QStringLiteral("Korvo")));
    window->resize(420, 240);
    window->show();
    m_settings = window;
}

}  // namespace korvo
