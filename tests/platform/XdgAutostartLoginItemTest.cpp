#include "platform/linux/XdgAutostartLoginItem.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {
QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
}  // namespace

TEST(XdgAutostartLoginItem, EntryAppearsAndDisappears) {
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/korvo"));
    const QString entry = dir.filePath(QStringLiteral("autostart/korvo.desktop"));
    EXPECT_EQ(item.entryPath(), entry);

    EXPECT_FALSE(item.setRegistered(true));
    const QString text = readAll(entry);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=/usr/bin/korvo\n")));

    EXPECT_FALSE(item.setRegistered(true));  // idempotent
    EXPECT_FALSE(item.setRegistered(false));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(item.setRegistered(false));  // removing twice is fine
}

TEST(XdgAutostartLoginItem, PathsWithBlanksAreQuoted) {
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/opt/my apps/korvo"));
    ASSERT_FALSE(item.setRegistered(true));
    EXPECT_TRUE(
        readAll(item.entryPath()).contains(QStringLiteral("\nExec=\"/opt/my apps/korvo\"\n")));
}

TEST(XdgAutostartLoginItem, FailureIsReported) {
    QTemporaryDir dir;
    // A file where the autostart folder should be makes registration fail.
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/korvo"));
    const auto error = item.setRegistered(true);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isEmpty());
}
