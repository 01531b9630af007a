#pragma once

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class QWidget;

namespace korvo {

class SettingsStore;

/// The tray item: "Settings", a separator, "Quit Korvo". Where the desktop has no tray the same
/// menu opens on a right-click on the island.
class TrayMenu {
public:
    explicit TrayMenu(SettingsStore& settings);
    ~TrayMenu();

    /// Shows the tray icon when the desktop has a tray; returns whether it does.
    bool install();
    /// Pops the menu up at a screen point.
    void popup(const QPoint& at);
    /// Opens the settings window, or raises it when it is already open.
    void openSettings();
    QWidget* settingsWindow() const { return m_settingsWindow; }

    QMenu& menu() { return m_menu; }

    /// The installed symbolic icon from the icon theme, or a drawn one where there is none.
    static QIcon trayIcon();

private:
    SettingsStore& m_settings;
    QMenu m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QPointer<QWidget> m_settingsWindow;
};

}  // namespace korvo
