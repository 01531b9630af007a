#include "core/DebugLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvo;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A file the log must never write into.
QString precious(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("victim.txt"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("precious\n");
    return path;
}

DebugLog logAt(const QString& path) {
    return DebugLog(path, [] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7), Qt::UTC); });
}

}  // namespace

TEST(DebugLog, LineFormatIsUtcDateTimeZoneAndMessage) {
    const QDateTime berlin(QDate(2026, 12, 6), QTime(10, 5, 7), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(DebugLog::formatLine(berlin, QStringLiteral("engine: hi")),
              QStringLiteral("2026-12-06 09:05:07 +0000 engine: hi"));
}

TEST(DebugLog, FirstCallCreatesTheFileWithOneLineAndLaterCallsAppend) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("debug.log"));
    const auto log = logAt(path);
    log.write(QStringLiteral("engine: toast enqueued 'Ä' queue=1"));
    EXPECT_EQ(
        readAll(path),
        QStringLiteral("2026-12-06 09:05:07 +0000 engine: toast enqueued 'Ä' queue=1\n").toUtf8());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // private to the user

    log(QStringLiteral("viewmodel: two"));
    EXPECT_EQ(readAll(path), QByteArray("2026-12-06 09:05:07 +0000 engine: toast enqueued "
                                        "'\xc3\x84' queue=1\n"
                                        "2026-12-06 09:05:07 +0000 viewmodel: two\n"));
}

TEST(DebugLog, RefusesASymlinkPlantedAtThePath) {
    QTemporaryDir dir;
    const QString victim = precious(dir);
    const QString path = dir.filePath(QStringLiteral("debug.log"));
    ASSERT_TRUE(QFile::link(victim, path));
    logAt(path).write(QStringLiteral("engine: must not land"));
    EXPECT_EQ(readAll(victim), QByteArray("precious\n"));

    // A dangling link must not create its target either.
    const QString dangling = dir.filePath(QStringLiteral("dangling.log"));
    const QString target = dir.filePath(QStringLiteral("created-through-link"));
    ASSERT_TRUE(QFile::link(target, dangling));
    logAt(dangling).write(QStringLiteral("engine: nope"));
    EXPECT_FALSE(QFile::exists(target));
}

TEST(DebugLog, FailuresAreSilent) {
    logAt(QStringLiteral("/nonexistent-dir/korvo/debug.log")).write(QStringLiteral("x"));
    DebugLog(QString()).write(QStringLiteral("disabled"));
    QTemporaryDir dir;
    logAt(dir.path()).write(QStringLiteral("a directory, not a file"));
    SUCCEED();
}

TEST(DebugLog, SkipsAFileOwnedBySomeoneElse) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand a file to another user";
    }
    QTemporaryDir dir;
    const QString path = precious(dir);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    logAt(path).write(QStringLiteral("engine: not mine"));
    EXPECT_EQ(readAll(path), QByteArray("precious\n"));
}

TEST(DebugLog, RollsOverToOneOldFileInsteadOfGrowingWithoutBound) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("debug.log"));
    const QString old = path + QStringLiteral(".1");
    // Lines are 26 bytes of date and zone, the message, and a line feed: 36 bytes here.
    const DebugLog log(
        path, [] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7), Qt::UTC); }, 100);
    for (int i = 0; i < 10; ++i) {
        log.write(QStringLiteral("line %1 ..").arg(i));
        ASSERT_LE(QFileInfo(path).size(), 100);
    }
    // Two lines a file: the last two in the log, the two before them in the one old file.
    EXPECT_EQ(readAll(path), QByteArray("2026-12-06 09:05:07 +0000 line 8 ..\n"
                                        "2026-12-06 09:05:07 +0000 line 9 ..\n"));
    EXPECT_TRUE(readAll(old).startsWith("2026-12-06 09:05:07 +0000 line 6 ..\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    // A line longer than the limit still goes into a fresh file of its own.
    log.write(QString(200, QLatin1Char('x')));
    EXPECT_TRUE(readAll(path).endsWith(QByteArray(200, 'x') + "\n"));
    EXPECT_TRUE(readAll(old).contains("line 9"));
}

TEST(DebugLog, RollingOverNeverWritesThroughALinkAtTheOldName) {
    QTemporaryDir dir;
    const QString victim = precious(dir);
    const QString path = dir.filePath(QStringLiteral("debug.log"));
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(),
                        QFile::encodeName(path + QStringLiteral(".1")).constData()),
              0);
    const DebugLog log(path, {}, 60);
    for (int i = 0; i < 5; ++i) {
        log.write(QStringLiteral("a message of some length"));
    }
    EXPECT_EQ(readAll(victim), QByteArray("precious\n"));
    EXPECT_FALSE(QFileInfo(path + QStringLiteral(".1")).isSymLink());
}
