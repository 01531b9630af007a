#include "settings/AccentColors.h"
#include "settings/HUDStat.h"
#include "settings/SettingsStore.h"

#include "platform/LoginItem.h"
#include "platform/SystemLog.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class FakeLoginItem : public LoginItem {
public:
    std::optional<QString> setRegistered(bool registered) override {
        calls.push_back(registered);
        return failWith;
    }
    std::vector<bool> calls;
    std::optional<QString> failWith;
};

class FakeSystemLog : public SystemLog {
public:
    void error(const QString& line) override { lines << line; }
    QStringList lines;
};

class SettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<SettingsStore> open() {
        return std::make_unique<SettingsStore>(path(), &loginItem, &systemLog);
    }
    QString path() const { return dir.filePath(QStringLiteral("korvo/korvo.conf")); }
    QByteArray fileText() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    FakeLoginItem loginItem;
    FakeSystemLog systemLog;
};

}  // namespace

TEST_F(SettingsTest, FreshStoreReadsDefaultsAndWritesNothing) {
    auto s = open();
    for (const auto& key : SettingsStore::keys()) {
        EXPECT_FALSE(s->isStored(key)) << key.toStdString();
    }
    s.reset();
    EXPECT_FALSE(QFile::exists(path()) && !fileText().trimmed().isEmpty());
    EXPECT_TRUE(loginItem.calls.empty());
}

TEST_F(SettingsTest, ValuesRoundTripAcrossInstancesUnderTheirOwnKeys) {
    {
        auto s = open();
        s->setToastDuration(4.5);
        s->setIslandStyle(QStringLiteral("graphite"));
        s->setClipboardHistoryLimit(50);
        s->setHoverToExpand(false);
        s->setCalendarLeadMinutes(15);
        EXPECT_TRUE(s->isStored(QStringLiteral("islandStyle")));
        EXPECT_FALSE(s->isStored(QStringLiteral("accentMode")));
    }
    auto again = open();
    EXPECT_DOUBLE_EQ(again->toastDuration(), 4.5);
    EXPECT_EQ(again->islandStyle(), "graphite");
    EXPECT_EQ(again->clipboardHistoryLimit(), 50);
    EXPECT_FALSE(again->hoverToExpand());
    EXPECT_DOUBLE_EQ(again->calendarLeadMinutes(), 15);
    EXPECT_EQ(again->accentMode(), "adaptive");

    const QByteArray text = fileText();
    EXPECT_TRUE(text.contains("islandStyle=graphite"));
    EXPECT_TRUE(text.contains("clipboardHistoryLimit=50"));
    EXPECT_FALSE(text.contains("accentMode"));
}

TEST_F(SettingsTest, EveryWriteNotifiesWithItsKeyAndBindingsAreTwoWay) {
    auto s = open();
    QStringList changed;
    auto obs = s->observe([&](const QString& key) { changed << key; });
    s->setArtworkGlow(true);  // same value still notifies
    auto binding = s->otpDetectionBinding();
    binding.set(false);
    EXPECT_FALSE(binding.get());
    EXPECT_FALSE(s->otpDetection());
    EXPECT_EQ(changed, (QStringList{"artworkGlow", "otpDetection"}));
}

TEST_F(SettingsTest, AnAccentNotAmongTheChoicesIsWhite) {
    EXPECT_NE(fixedAccentColor("blue"), QColor(Qt::white));
    EXPECT_EQ(fixedAccentColor("Blue"), QColor(Qt::white));
    EXPECT_EQ(fixedAccentColor("adaptive"), QColor(Qt::white));
}

TEST_F(SettingsTest, HudStatEnabledFollowsTheFixedOrder) {
    auto s = open();
    EXPECT_EQ(s->enabledStats().size(), 8u);
    for (HUDStat stat : hudstat::kAll) {
        hudstat::binding(*s, stat).set(false);
    }
    EXPECT_TRUE(s->enabledStats().empty());
    s->setHudPower(true);
    s->setHudCPU(true);
    EXPECT_EQ(s->enabledStats(), (std::vector<HUDStat>{HUDStat::cpu, HUDStat::power}));
    EXPECT_EQ(hudstat::fromRaw("network"), HUDStat::network);
    EXPECT_FALSE(hudstat::fromRaw("Network"));
}

TEST_F(SettingsTest, LaunchAtLoginCallsThePlatformAndLogsFailureWithoutReverting) {
    auto s = open();
    s->setLaunchAtLogin(true);
    s->setLaunchAtLogin(true);  // every write re-applies
    EXPECT_EQ(loginItem.calls, (std::vector<bool>{true, true}));
    EXPECT_TRUE(systemLog.lines.isEmpty());

    loginItem.failWith = QStringLiteral("read-only file system");
    s->setLaunchAtLogin(false);
    EXPECT_FALSE(s->launchAtLogin());
    EXPECT_EQ(systemLog.lines, QStringList{"Login item error: read-only file system"});
    // Not re-applied when a store is opened.
    auto again = open();
    EXPECT_EQ(loginItem.calls.size(), 3u);
}

TEST_F(SettingsTest, HandEditedGarbageReadsAsDefault) {
    QDir().mkpath(dir.filePath("korvo"));
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\ntoastDuration=fast\nhoverToExpand=false\n");
    }
    auto s = open();
    EXPECT_FALSE(s->hoverToExpand());
    EXPECT_DOUBLE_EQ(s->toastDuration(), 0.0);
}
