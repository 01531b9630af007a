#include "app/TrayMenu.h"
#include "fakes/QtPrinters.h"
#include "ui/kit/Painter.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {
bool hasInk(const QIcon& icon) {
    return !ui::opaqueBounds(icon.pixmap(22).toImage()).isEmpty();
}

struct ThemeScope {
    QStringList paths = QIcon::themeSearchPaths();
    QString name = QIcon::themeName();
    ~ThemeScope() {
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(name);
    }
};
}  // namespace

// Installed, the tray names the theme's symbolic icon (so the panel can tint it); where the
// icon theme has none, as in the build folder, it draws its own.
TEST(TrayIcon, TheInstalledSymbolicIconByNameElseTheDrawnOne) {
    const QString hicolorIndex = QStringLiteral("/usr/share/icons/hicolor/index.theme");
    if (!QFile::exists(hicolorIndex)) {
        GTEST_SKIP() << "no hicolor icon theme on this machine";
    }
    ThemeScope restore;
    QTemporaryDir dir;
    QIcon::setThemeSearchPaths({dir.path()});
    QIcon::setThemeName(QStringLiteral("hicolor"));
    const QString hicolor = dir.filePath(QStringLiteral("hicolor"));
    ASSERT_TRUE(QDir().mkpath(hicolor));
    ASSERT_TRUE(QFile::copy(hicolorIndex, hicolor + QStringLiteral("/index.theme")));

    const QIcon drawn = TrayMenu::trayIcon();
    EXPECT_TRUE(drawn.name().isEmpty());
    EXPECT_TRUE(hasInk(drawn));

    // Where the install rules put it.
    ASSERT_TRUE(QDir().mkpath(hicolor + QStringLiteral("/symbolic/apps")));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(KORVO_SOURCE_DIR "/packaging/icons/io.korvo.Korvo-symbolic.svg"),
                    hicolor + QStringLiteral("/symbolic/apps/io.korvo.Korvo-symbolic.svg")));
    QIcon::setThemeSearchPaths({dir.path()});  // forget what was looked up before
    const QIcon themed = TrayMenu::trayIcon();
    EXPECT_EQ(themed.name(), QStringLiteral("io.korvo.Korvo-symbolic"));
    EXPECT_TRUE(hasInk(themed));
}
