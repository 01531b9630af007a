// A calendar folder where almost everything is wrong: the one good file is still read, once,
// and the read neither blocks nor takes long.
#include "platform/linux/IcsCalendarStore.h"

#include "core/VirtualLoop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

using namespace korvo;

namespace {

QByteArray calendar(const QByteArray& summary, const QByteArray& start,
                    const QByteArray& description = "-") {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Korvo tests//EN\r\nBEGIN:VEVENT\r\nUID:" +
           summary + "@korvo.test\r\nDTSTAMP:20251120T120000Z\r\nDTSTART:" + start +
           "\r\nDURATION:PT1H\r\nSUMMARY:" + summary + "\r\nDESCRIPTION:" + description +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

TEST(FaultCalendarFiles, OnlyTheGoodFilesCountAmongLinksLoopsPipesAndGiants) {
    QTemporaryDir dir;
    const QString root = dir.filePath("calendars");
    QDir folder(root);
    ASSERT_TRUE(QDir().mkpath(root + "/x.ics"));
    ASSERT_TRUE(QDir().mkpath(root + "/locked"));
    auto at = [&](const char* name) { return folder.filePath(QString::fromLatin1(name)); };

    // Its notes are one unbroken line of 60 KB, as some writers leave them.
    const QString notes = QString(30'000, QChar(0xFC)) + QStringLiteral("!");
    ASSERT_TRUE(write(at("good.ics"), calendar("Dentist", "20260106T160000Z", notes.toUtf8())));
    // A folder that happens to end in .ics is a folder; what it holds counts.
    ASSERT_TRUE(write(at("x.ics/inner.ics"), calendar("Standup", "20260107T083000Z")));
    // Another name for the good file, and links that lead nowhere or round in circles.
    ASSERT_TRUE(QFile::link(at("good.ics"), at("alias.ics")));
    ASSERT_TRUE(QFile::link(at("self.ics"), at("self.ics")));
    ASSERT_TRUE(QFile::link(at("pong.ics"), at("ping.ics")));
    ASSERT_TRUE(QFile::link(at("ping.ics"), at("pong.ics")));
    ASSERT_TRUE(QFile::link(at("missing.ics"), at("gone.ics")));
    ASSERT_TRUE(QFile::link(root, at("x.ics/up")));
    // A pipe nobody writes to: opening it would wait for ever.
    ASSERT_EQ(::mkfifo(at("pipe.ics").toLocal8Bit().constData(), 0600), 0);
    // Files that cannot be read (for a user other than root), holding junk either way.
    ASSERT_TRUE(write(at("secret.ics"), QByteArray(4096, '\x9c')));
    ASSERT_TRUE(write(at("locked/hidden.ics"), "BEGIN:VCALENDAR\r\nBEGIN:VEV"));
    ::chmod(at("secret.ics").toLocal8Bit().constData(), 0);
    ::chmod(at("locked").toLocal8Bit().constData(), 0);
    // Over the size limit, though it begins with a good event: left alone, unread.
    {
        QFile huge(at("huge.ics"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        huge.write(calendar("Huge", "20260106T100000Z"));
        ASSERT_TRUE(huge.resize(IcsCalendarStore::kMaxFileBytes + 1));
    }
    // Under the limit: 4 MB of one unbroken line of junk, and binary noise.
    ASSERT_TRUE(write(at("junk.ics"), "BEGIN:VCALENDAR\r\nSUMMARY:" + QByteArray(4'000'000, 'z')));
    QByteArray noise(1'000'000, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = char(1 + (i * 7919) % 251);
    }
    ASSERT_TRUE(write(at("noise.ics"), noise));

    VirtualLoop loop;
    IcsCalendarStore store(loop, {root});
    EXPECT_TRUE(store.requestAccess());
    const QDateTime from(QDate(2026, 1, 5), QTime(0, 0), Qt::UTC);
    const QDateTime to = from.addDays(7);
    auto read = std::async(std::launch::async, [&] { return store.events(from, to); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the stuck reader go before failing, or the test would never end.
        ::close(::open(at("pipe.ics").toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK));
        read.wait();
        FAIL() << "the read took over 10 s";
    }
    const auto events = read.get();
    const auto again = store.events(from, to);
    ::chmod(at("locked").toLocal8Bit().constData(), 0700);

    QStringList titles;
    for (const auto& e : events) {
        titles << e.title.value_or(QStringLiteral("-"));
        if (e.title == QStringLiteral("Dentist")) {
            EXPECT_EQ(e.notes, notes);
        }
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"Dentist", "Standup"}));
    EXPECT_EQ(again.size(), 2u);  // the junk is not remembered as anything either
}
