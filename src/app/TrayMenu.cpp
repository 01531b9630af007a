#include "TrayMenu.h"

#include "app/settings/SettingsWindow.h"
#include "ui/kit/Symbols.h"

#include <QApplication>

namespace korvo {

namespace {

QIcon drawnTrayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        const QImage img =
            ui::Symbols::render(QStringLiteral("capsule.fill"), size, QColor(Qt::white), 1.0);
        if (!img.isNull()) {
            icon.addPixmap(QPixmap::fromImage(img));
        }
    }
    return icon;
}

}  // namespace

QIcon TrayMenu::trayIcon() {
    // By name where Korvo is installed, so the tray can fetch and tint the theme's symbolic
    // icon itself; drawn here when it runs from the build folder.
    return QIcon::fromTheme(QStringLiteral("io.korvo.Korvo-symbolic"), drawnTrayIcon());
}

TrayMenu::TrayMenu(SettingsStore& settings) : m_settings(settings) {
    m_menu.addAction(QStringLiteral("Settings"), [this] { openSettings(); });
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Korvo"), [] { QApplication::quit(); });
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
}

TrayMenu::~TrayMenu() {
    delete m_settingsWindow.data();
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

void TrayMenu::popup(const QPoint& at) {
    m_menu.popup(at);
}

void TrayMenu::openSettings() {
    if (m_settingsWindow) {
        m_settingsWindow->show();
        m_settingsWindow->raise();
        m_settingsWindow->activateWindow();
        return;
    }
    auto* window = new SettingsWindow(m_settings, QStringLiteral(KORVO_VERSION),
                                      QStringLiteral(KORVO_BUILD_NUMBER));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    m_settingsWindow = window;
}

}  // namespace korvo
