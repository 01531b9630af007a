#include "platform/linux/QProcessRunner.h"

#include <QElapsedTimer>

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

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(runner.run(QStringLiteral("/bin/sleep"), {QStringLiteral("10")}, 0.3));
    EXPECT_LT(clock.elapsed(), 5000);
}
