#include "platform/linux/QProcessRunner.h"

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>

#include <gtest/gtest.h>

using namespace korvo;

TEST(QProcessRunner, CollectsStandardOutputWhateverTheExitStatus) {
    QProcessRunner runner;
    const auto output = runner.run(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("printf '{\"a\": 1}'; printf noise >&2; exit 3")},
        10);
    ASSERT_TRUE(output);
    EXPECT_EQ(*output, QByteArray("{\"a\": 1}"));

    // More than a pipe holds, so it must be drained while the program runs.
    const auto big =
        runner.run(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"), QStringLiteral("head -c 300000 /dev/zero; head -c 300000 "
                                                         "/dev/zero >&2")},
                   10);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size(), 300000);
}

TEST(QProcessRunner, AProgramThatIsMissingOrTooSlowGivesNothing) {
    QProcessRunner runner;
    EXPECT_FALSE(runner.run(QStringLiteral("/nonexistent/system_profiler"), {}, 5));

    // The slow program is stopped when its time is up, not waited for.
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    EXPECT_FALSE(runner.run(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("echo $$ > %1; exec sleep 30").arg(pidFile)}, 0.3));
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH) << "still running";
}
