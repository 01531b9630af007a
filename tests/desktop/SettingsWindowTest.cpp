// The settings window against a real store: every control writes its key, follows changes made
// elsewhere, and leaves stored values alone while disabled.
#include "app/settings/SettingsWindow.h"
#include "settings/HUDStat.h"
#include "settings/NotificationApps.h"
#include "settings/SettingsStore.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() : settings(dir.filePath("korvo.conf")), window(settings, "1.0", "") {}

    template <typename T>
    T* find(const QString& name) {
        T* w = window.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString valueText(const QString& id) { return find<QLabel>("value." + id)->text(); }

    QTemporaryDir dir;
    SettingsStore settings;
    SettingsWindow window;
};

}  // namespace

TEST_F(SettingsWindowTest, TogglesWriteTheirKeyAndFollowOutsideChanges) {
    const std::vector<std::pair<QString, std::function<bool()>>> toggles = {
        {"launchAtLogin", [&] { return settings.launchAtLogin(); }},
        {"hapticFeedback", [&] { return settings.hapticFeedback(); }},
        {"hoverToExpand", [&] { return settings.hoverToExpand(); }},
        {"showCarouselDots", [&] { return settings.showCarouselDots(); }},
        {"batteryToasts", [&] { return settings.batteryToasts(); }},
        {"lowBatteryWarn", [&] { return settings.lowBatteryWarn(); }},
        {"browserMedia", [&] { return settings.browserMedia(); }},
        {"trackChangeToast", [&] { return settings.trackChangeToast(); }},
        {"artworkGlow", [&] { return settings.artworkGlow(); }},
        {"calendarEnabled", [&] { return settings.calendarEnabled(); }},
        {"clipboardEnabled", [&] { return settings.clipboardEnabled(); }},
        {"otpDetection", [&] { return settings.otpDetection(); }},
        {"systemCardEnabled", [&] { return settings.systemCardEnabled(); }},
        {"peripheralBatteryWarn", [&] { return settings.peripheralBatteryWarn(); }},
        {"desktopNotifications", [&] { return settings.desktopNotifications(); }},
    };
    for (const auto& [key, get] : toggles) {
        auto* box = find<QCheckBox>("toggle." + key);
        ASSERT_NE(box, nullptr);
        const bool before = get();
        EXPECT_EQ(box->isChecked(), before) << key.toStdString();
        box->click();
        EXPECT_EQ(get(), !before) << key.toStdString();
        EXPECT_TRUE(settings.isStored(key)) << key.toStdString();
    }
    // The same preference shown on two tabs stays in step.
    settings.setArtworkGlow(true);
    EXPECT_TRUE(find<QCheckBox>("toggle.artworkGlow.appearance")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("toggle.artworkGlow")->isChecked());
    settings.setHoverToExpand(false);
    EXPECT_FALSE(find<QCheckBox>("toggle.hoverToExpand")->isChecked());
}

TEST_F(SettingsWindowTest, SlidersShowTheirFormatsAndMoveInSteps) {
    auto* threshold = find<QSlider>("slider.lowBatteryThreshold");
    EXPECT_EQ(threshold->maximum() - threshold->minimum(), 9);  // 5 … 50 by 5
    threshold->setValue(threshold->maximum());
    EXPECT_DOUBLE_EQ(settings.lowBatteryThreshold(), 50);
    EXPECT_EQ(valueText("lowBatteryThreshold"), "50 %");
    auto* duration = find<QSlider>("slider.toastDuration");
    duration->setValue(0);
    EXPECT_DOUBLE_EQ(settings.toastDuration(), 1.0);
    EXPECT_EQ(valueText("toastDuration"), "1.0 s");
    settings.setCalendarLeadMinutes(45);
    EXPECT_EQ(valueText("calendarLeadMinutes"), "45 m");
    EXPECT_EQ(find<QSlider>("slider.calendarLeadMinutes")->value(), 8);
}

TEST_F(SettingsWindowTest, DisabledControlsLeaveStoredValuesAlone) {
    settings.setLowBatteryThreshold(35);
    settings.setLowBatteryWarn(false);
    auto* threshold = find<QSlider>("slider.lowBatteryThreshold");
    EXPECT_FALSE(threshold->isEnabled());
    QTest::keyClick(threshold, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(settings.lowBatteryThreshold(), 35);

    settings.setHudGPU(false);
    settings.setSystemCardEnabled(false);
    for (HUDStat stat : hudstat::kAll) {
        auto* box = find<QCheckBox>("toggle.stat." + hudstat::rawValue(stat));
        EXPECT_FALSE(box->isEnabled());
    }
    find<QCheckBox>("toggle.stat.cpu")->click();  // disabled: no effect
    EXPECT_TRUE(settings.hudCPU());
    EXPECT_FALSE(settings.hudGPU());
    settings.setSystemCardEnabled(true);
    auto* gpu = find<QCheckBox>("toggle.stat.gpu");
    EXPECT_TRUE(gpu->isEnabled());
    EXPECT_FALSE(gpu->isChecked());
    gpu->click();
    EXPECT_TRUE(settings.hudGPU());  // through the store's binding
}

TEST_F(SettingsWindowTest, StyleChoicesAccentPickerAndHistorySize) {
    find<QAbstractButton>("style.graphite")->click();
    EXPECT_EQ(settings.islandStyle(), "graphite");

    auto* picker = find<QComboBox>("accent.picker");
    EXPECT_EQ(picker->currentData().toString(), "adaptive");
    find<QAbstractButton>("accent.circle.orange")->click();
    EXPECT_EQ(settings.accentMode(), "orange");
    EXPECT_EQ(picker->currentText(), "Orange");
    picker->setCurrentIndex(picker->findData("cyan"));
    EXPECT_EQ(settings.accentMode(), "cyan");

    EXPECT_TRUE(find<QToolButton>("history.30")->isChecked());
    find<QToolButton>("history.50")->click();
    EXPECT_EQ(settings.clipboardHistoryLimit(), 50);
    settings.setClipboardHistoryLimit(10);
    EXPECT_TRUE(find<QToolButton>("history.10")->isChecked());
    EXPECT_FALSE(find<QToolButton>("history.50")->isChecked());
}

TEST_F(SettingsWindowTest, NotificationAppsFollowTheStoreAndTheRefusalIsSaid) {
    window.select(SettingsTab::notifications);
    EXPECT_TRUE(find<QLabel>("notifications.empty")->isVisibleTo(&window));
    // Seen by the service while the window is open.
    settings.setDesktopNotifications(true);
    settings.setNotificationApps(R"([{"name":"Mail","allowed":true},{"name":"R&D Bot"}])");
    auto* mail = find<QCheckBox>("notificationApp.Mail");
    ASSERT_NE(mail, nullptr);
    EXPECT_TRUE(mail->isChecked());
    EXPECT_EQ(find<QCheckBox>("notificationApp.R&D Bot")->text(), "R&&D Bot");
    EXPECT_FALSE(find<QLabel>("notifications.empty")->isVisibleTo(&window));

    mail->click();
    EXPECT_EQ(notificationapps::parse(settings.notificationApps()),
              (std::vector<NotificationApp>{{"Mail", false}, {"R&D Bot", true}}));
    EXPECT_EQ(find<QCheckBox>("notificationApp.Mail"), mail) << "the row stays where it was";
    settings.setNotificationApps(R"([{"name":"Mail","allowed":true},{"name":"Chat"}])");
    EXPECT_TRUE(mail->isChecked());
    EXPECT_NE(find<QCheckBox>("notificationApp.Chat"), nullptr);

    // While the switch is off the list stays as it is.
    settings.setDesktopNotifications(false);
    EXPECT_FALSE(mail->isEnabled());
    mail->click();
    EXPECT_TRUE(mail->isChecked());

    auto* status = find<QLabel>("notifications.status");
    EXPECT_FALSE(status->isVisibleTo(&window));
    settings.notificationMonitorStatus.set(NotificationMonitorStatus::refused);
    EXPECT_TRUE(status->isVisibleTo(&window));
    EXPECT_FALSE(status->text().isEmpty());
    settings.notificationMonitorStatus.set(NotificationMonitorStatus::watching);
    EXPECT_FALSE(status->isVisibleTo(&window));
}

TEST_F(SettingsWindowTest, SidebarSectionsTabsAndAbout) {
    auto* sidebar = find<QListWidget>("sidebar");
    QStringList rows;
    for (int i = 0; i < sidebar->count(); ++i) {
        rows << sidebar->item(i)->text();
    }
    sidebar->setCurrentRow(rows.indexOf("Clipboard"));
    EXPECT_EQ(window.selection(), SettingsTab::clipboard);
    EXPECT_EQ(find<QLabel>("title")->text(), "Clipboard");
    SettingsWindow withBuild(settings, "1.0", "42");
    EXPECT_EQ(withBuild.findChild<QLabel*>("version")->text(), "Version 1.0 (42)");
    EXPECT_EQ(settingsTabFromRaw("systemHUD"), SettingsTab::systemHUD);
    EXPECT_FALSE(settingsTabFromRaw("SystemHUD"));
}
