#include "platform/linux/ScreenshotFolderIndex.h"

#include "DBusTestBus.h"
#include "Png.h"
#include "core/Posted.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "services/screenshots/ScreenshotService.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

using namespace korvo;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

using Folder = ScreenshotFolderIndex::Folder;

QByteArray pngBytes() {
    return test::png(64, 40);
}

bool writeFile(const QString& path, const QByteArray& bytes,
               QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile f(path);
    return f.open(mode) && f.write(bytes) == bytes.size();
}

class WorkspaceLog : public Workspace {
public:
    void open(const QUrl& url) override { opened << url; }
    QList<QUrl> opened;
};

class FolderIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Pictures")));
    }
    QString at(const QString& relative) const { return home.filePath(relative); }
    std::unique_ptr<ScreenshotFolderIndex> index(std::vector<Folder> folders) {
        auto i = std::make_unique<ScreenshotFolderIndex>(loop, home.path(), std::move(folders));
        sub = i->watch([this](const QStringList& added) { reports << added; });
        return i;
    }
    // The index lists what is there at start off the main thread; let it finish.
    void started() { settle(300); }

    QTemporaryDir home;
    QtMainLoop loop;
    QList<QStringList> reports;
    Subscription sub;
};

}  // namespace

TEST(ScreenshotNames, RecogniseWhatTheToolsCallTheirCaptures) {
    for (const char* name :
         {"Screenshot from 2026-01-05 10-00-00.png", "Screenshot From 2026-01-05 10-00-00.png",
          "Screenshot_20260105_100000.png", "Screenshot_2026-01-05_10-00-00.jpg", "screenshot.webp",
          "Bildschirmfoto vom 2026-01-05 10-00-00.png",
          "Capture d’écran du 2026-01-05 10-00-00.png", "2026-01-05-100000_1920x1080_scrot.png",
          "Снимок экрана от 2026-01-05 10-00-00.png"}) {
        EXPECT_TRUE(ScreenshotFolderIndex::isScreenshotName(QString::fromUtf8(name))) << name;
    }
    for (const char* name : {"holiday.png", "my screenshot.png", "Screenshot from 2026-01-05.txt",
                             "Screenshot from 2026-01-05.png.part", ".Screenshot_20260105.png",
                             "scrot.png", "Screenshot"}) {
        EXPECT_FALSE(ScreenshotFolderIndex::isScreenshotName(QString::fromUtf8(name))) << name;
    }
}

TEST(ScreenshotFolders, FollowUserDirsAndTheToolsSettingsButStayUnderHome) {
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString config = home + QStringLiteral("/.config");
    ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/flameshot")));
    EXPECT_EQ(ScreenshotFolderIndex::picturesFolder(home, config), home + "/Pictures");

    ASSERT_TRUE(writeFile(config + "/user-dirs.dirs",
                          "# written by xdg-user-dirs-update\n"
                          "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                          "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
    ASSERT_TRUE(writeFile(
        config + "/spectaclerc",
        ("[ImageSave]\nimageSaveLocation=file://" + home + "/Bilder/Captures/\n").toUtf8()));
    ASSERT_TRUE(
        writeFile(config + "/flameshot/flameshot.ini", "[General]\nsavePath=/var/tmp/shots\n"));
    ASSERT_TRUE(writeFile(config + "/xfce4-screenshooter", "unused"));
    EXPECT_EQ(ScreenshotFolderIndex::picturesFolder(home, config), home + "/Bilder");
    EXPECT_EQ(ScreenshotFolderIndex::toolFolders(home, config),
              (QStringList{home + "/Bilder/Captures", "/var/tmp/shots"}));

    const auto folders = ScreenshotFolderIndex::standardFolders(home, config);
    QStringList names;
    for (const auto& f : folders) {
        names << f.path.mid(home.size()) + (f.anyImage ? " *" : "");
    }
    // The index itself drops the folder outside home (below).
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names.mid(0, 4),
              (QStringList{"", "/Bilder", "/Bilder/Screenshots *", "/Bilder/Captures *"}));
    EXPECT_EQ(folders.back().path, QStringLiteral("/var/tmp/shots"));
}

TEST_F(FolderIndexTest, NewCaptureIsToastedWhileFilesPresentAtStartAreNot) {
    ASSERT_TRUE(writeFile(at("Pictures/Screenshot from 2026-01-01 09-00-00.png"), pngBytes()));
    QTemporaryDir outside;  // not under home
    EventBus bus(loop);
    WorkspaceLog workspace;
    ScreenshotFolderIndex index(loop, home.path(),
                                {{at("Pictures"), false}, {outside.path(), true}});
    ScreenshotService service(bus, index, workspace);
    test::Posted posted(bus);
    const auto& toasts = posted.toasts;
    service.start();
    started();

    ASSERT_TRUE(writeFile(at("Pictures/holiday.png"), pngBytes()));  // not a capture's name
    ASSERT_TRUE(writeFile(outside.filePath("Screenshot_20260105_100000.png"), pngBytes()));
    const QString shot = at("Pictures/Screenshot from 2026-01-05 10-00-00.png");
    ASSERT_TRUE(writeFile(shot, pngBytes()));
    ASSERT_TRUE(waitUntil([&] { return !toasts.empty(); }));
    settle(600);
    ASSERT_EQ(toasts.size(), 1u);
    EXPECT_EQ(toasts.front().title, QStringLiteral("Screenshot saved"));
    EXPECT_EQ(toasts.front().subtitle, QStringLiteral("Screenshot from 2026-01-05 10-00-00.png"));
    toasts.front().action();
    EXPECT_EQ(workspace.opened, QList<QUrl>{QUrl::fromLocalFile(shot)});

    // Overwriting a file already announced is not a new capture.
    ASSERT_TRUE(writeFile(shot, pngBytes()));
    settle(600);
    EXPECT_EQ(toasts.size(), 1u);
}

TEST_F(FolderIndexTest, CaptureIsReportedOnlyOnceCompletelyWritten) {
    auto i = index({{at("Pictures"), false}});
    started();
    const QByteArray png = pngBytes();
    const QString shot = at("Pictures/Screenshot_20260105_100000.png");
    ASSERT_TRUE(writeFile(shot, png.left(png.size() / 2)));
    settle(800);
    EXPECT_TRUE(reports.isEmpty());
    ASSERT_TRUE(writeFile(shot, png.mid(png.size() / 2), QIODevice::Append));
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_EQ(reports, QList<QStringList>{{shot}});

    // Formats that do not mark their end count once they stop growing.
    const QString webp = at("Pictures/Screenshot_20260105_100001.webp");
    ASSERT_TRUE(writeFile(webp, QByteArray(2048, 'x')));
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(reports.back(), QStringList{webp});
    // An empty file never counts.
    ASSERT_TRUE(writeFile(at("Pictures/Screenshot_20260105_100002.webp"), {}));
    settle(800);
    EXPECT_EQ(reports.size(), 2);
}

TEST_F(FolderIndexTest, FolderCreatedLaterIsWatchedWithEverythingInIt) {
    auto i = index({{at("Pictures/Screenshots"), true}});
    started();
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Pictures/Screenshots")));
    // The first capture often creates the folder: it counts, whatever its name.
    const QString first = at("Pictures/Screenshots/capture-1.png");
    ASSERT_TRUE(writeFile(first, pngBytes()));
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_EQ(reports.front(), QStringList{first});

    // Removed and made again: still followed.
    ASSERT_TRUE(QDir(at("Pictures/Screenshots")).removeRecursively());
    settle(300);
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Pictures/Screenshots")));
    settle(300);
    const QString second = at("Pictures/Screenshots/capture-2.jpg");
    QImage(16, 16, QImage::Format_RGB32).save(second, "JPEG");
    ASSERT_TRUE(waitUntil([&] { return reports.size() >= 2; }));
    EXPECT_EQ(reports.back(), QStringList{second});
}
