#pragma once

#include "platform/NotificationMonitor.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QStackedWidget;
class QVBoxLayout;

namespace korvo {

class SettingsStore;

/// The tabs of the settings window, in sidebar order.
enum class SettingsTab {
    general,
    appearance,
    battery,
    nowPlaying,
    calendar,
    clipboard,
    notifications,
    systemHUD,
    about
};

QString rawValue(SettingsTab tab);
std::optional<SettingsTab> settingsTabFromRaw(const QString& raw);
QString title(SettingsTab tab);

/// Every preference, edited in place: each control writes the store at once and follows the
/// store when something else changes it.
class SettingsWindow : public QWidget {
public:
    /// `version` is shown in About; `buildNumber` is added in brackets when not empty.
    SettingsWindow(SettingsStore& settings, QString version, QString buildNumber,
                   QWidget* parent = nullptr);
    ~SettingsWindow() override;

    void select(SettingsTab tab);
    SettingsTab selection() const { return m_selection; }

    /// The line the Notifications tab shows for where watching stands; empty when all is well.
    static QString monitorStatusText(NotificationMonitorStatus status);

    /// Value shown by the sliders, as the user reads it.
    static QString formatSeconds(double v);
    static QString formatPercent(double v);
    static QString formatMinutes(double v);

private:
    QWidget* buildPage(SettingsTab tab);
    QWidget* generalPage();
    void displayRows(QVBoxLayout* into);
    QWidget* appearancePage();
    QWidget* batteryPage();
    QWidget* nowPlayingPage();
    QWidget* calendarPage();
    QWidget* clipboardPage();
    QWidget* notificationsPage();
    QWidget* systemPage();
    QWidget* aboutPage();

    // Form pieces; each registers how it follows the store.
    QVBoxLayout* section(QVBoxLayout* page, const QString& title);
    void toggle(QVBoxLayout* into, const QString& id, const QString& label, const QString& caption,
                std::function<bool()> get, std::function<void(bool)> set,
                std::function<bool()> enabled = {}, const QString& symbol = {});
    void slider(QVBoxLayout* into, const QString& id, const QString& title, double lo, double hi,
                double step, std::function<QString(double)> format, std::function<double()> get,
                std::function<void(double)> set, std::function<bool()> enabled = {});
    void note(QVBoxLayout* into, const QString& text);
    void valueRow(QVBoxLayout* into, const QString& label, const QString& value);

    void refresh();

    SettingsStore& m_settings;
    QString m_version;
    QString m_buildNumber;
    SettingsTab m_selection = SettingsTab::general;
    QListWidget* m_sidebar = nullptr;
    QLabel* m_title = nullptr;
    QStackedWidget* m_pages = nullptr;
    std::vector<std::function<void()>> m_refreshers;
    bool m_refreshing = false;
    struct Observer;
    std::unique_ptr<Observer> m_observer;
};

}  // namespace korvo
