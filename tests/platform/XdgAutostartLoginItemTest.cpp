#include "fakes/QtPrinters.h"
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {
QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString execLine(const QString& entry) {
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec="))) {
            return line.mid(5);
        }
    }
    return {};
}

// How a launcher reads an Exec value in freedesktop's desktop entry format: first the string
// escapes of the value, then the quoting of arguments, then the field codes.
QStringList launcherArguments(const QString& value) {
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == u'n'   ? QChar(u'\n')
                         : next == u't' ? QChar(u'\t')
                         : next == u'r' ? QChar(u'\r')
                         : next == u's' ? QChar(u' ')
                                        : next;
            continue;
        }
        unescaped += value[i];
    }
    QStringList args;
    QString current;
    bool quoted = false;
    bool inArgument = false;
    for (int i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < unescaped.size()) {
                current += unescaped[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = inArgument = true;
        } else if (c == u' ') {
            if (inArgument) {
                args << current;
            }
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        args << current;
    }
    for (QString& a : args) {
        a.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return args;
}

// A file that passes for an installed program.
QString makeProgram(const QString& path, bool executable = true) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n");
    f.close();
    if (executable) {
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    }
    return path;
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

// Whatever the path, a launcher reading the entry runs exactly that program, and nothing in
// the path can add lines to the entry.
TEST(XdgAutostartLoginItem, AnyPathSurvivesTheEntrysQuotingAndEscaping) {
    const QStringList paths = {
        QStringLiteral("/usr/bin/korvo"),
        QStringLiteral("/opt/my apps/korvo"),
        QStringLiteral("/opt/100%/korvo"),
        QStringLiteral("/home/a\"b/$HOME/`id`/korvo"),
        QStringLiteral("/home/back\\slash/korvo"),
        QStringLiteral("/tmp/it's (mine) & ours; #1/korvo"),
        QStringLiteral("/tmp/two\nHidden=true/korvo"),
    };
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        QTemporaryDir dir;
        XdgAutostartLoginItem item(dir.path(), path);
        ASSERT_FALSE(item.setRegistered(true));
        const QString text = readAll(item.entryPath());
        EXPECT_EQ(launcherArguments(execLine(text)), QStringList{path});
        EXPECT_FALSE(text.contains(QStringLiteral("\nHidden=")));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {item.entryPath()});
            ASSERT_TRUE(validate.waitForFinished(60000));
            EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
        }
    }
}

TEST(XdgAutostartLoginItem, EntryShowsTheInstalledEntrysIcon) {
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/korvo"));
    ASSERT_FALSE(item.setRegistered(true));
    auto iconOf = [](const QString& text) {
        for (const QString& line : text.split(u'\n')) {
            if (line.startsWith(QStringLiteral("Icon="))) {
                return line.mid(5);
            }
        }
        return QString();
    };
    const QString installed =
        readAll(QStringLiteral(KORVO_SOURCE_DIR "/packaging/io.korvo.Korvo.desktop"));
    ASSERT_FALSE(iconOf(installed).isEmpty());
    EXPECT_EQ(iconOf(readAll(item.entryPath())), iconOf(installed));
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

// What "Launch at login" starts: the build's own binary only while running from the build
// folder; an installed korvo otherwise.
TEST(XdgAutostartLoginItemLaunch, RunningFromTheBuildFolderStartsThatBinary) {
    QTemporaryDir dir;
    const QString build = dir.filePath(QStringLiteral("build"));
    const QString built = makeProgram(build + QStringLiteral("/src/app/korvo"));
    const QString onPath = makeProgram(dir.filePath(QStringLiteral("bin/korvo")));
    const QString underPrefix = makeProgram(dir.filePath(QStringLiteral("prefix/bin/korvo")));
    XdgAutostartLoginItem::LaunchPlaces places{
        build, underPrefix, {dir.filePath(QStringLiteral("bin"))}};
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(built, places), built);

    // Through a link to the build folder it is still the build folder.
    const QString link = dir.filePath(QStringLiteral("link-to-build"));
    ASSERT_TRUE(QFile::link(build, link));
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(link + QStringLiteral("/src/app/korvo"), places),
              link + QStringLiteral("/src/app/korvo"));
    places.buildDir = link;
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(built, places), built);

    // A folder beside the build folder whose name merely begins the same is not inside it.
    const QString sibling = makeProgram(build + QStringLiteral("-sanitize/src/app/korvo"));
    places.buildDir = build;
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(sibling, places), onPath);
}

TEST(XdgAutostartLoginItemLaunch, ElsewhereTheInstalledKorvoIsStarted) {
    QTemporaryDir dir;
    const QString running = makeProgram(dir.filePath(QStringLiteral("unpacked/usr/bin/korvo")));
    const QString first = dir.filePath(QStringLiteral("first"));
    const QString second = dir.filePath(QStringLiteral("second"));
    const QString third = dir.filePath(QStringLiteral("third"));
    const QString underPrefix = makeProgram(dir.filePath(QStringLiteral("prefix/bin/korvo")));
    XdgAutostartLoginItem::LaunchPlaces places{
        dir.filePath(QStringLiteral("build")), underPrefix, {first, second, third}};

    // Nothing on PATH: the install prefix's.
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), underPrefix);

    // On PATH, the first executable file named korvo wins; a folder or a file that cannot be
    // run is passed over.
    QDir().mkpath(first + QStringLiteral("/korvo"));
    makeProgram(second + QStringLiteral("/korvo"), false);
    const QString third3 = makeProgram(third + QStringLiteral("/korvo"));
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), third3);
    const QString second2 = makeProgram(second + QStringLiteral("/korvo"));
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), second2);

    // Of two installed, the one running — as PATH spells it, through a link — is kept.
    const QString linked = dir.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QDir().mkpath(linked));
    ASSERT_TRUE(QFile::link(third3, linked + QStringLiteral("/korvo")));
    places.searchPath = {first, second, linked, third};
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(third3, places),
              linked + QStringLiteral("/korvo"));
    places.searchPath = {first, second, third};

    // A relative PATH entry would let the session's working folder pick the program.
    QTemporaryDir cwd;
    makeProgram(cwd.filePath(QStringLiteral("korvo")));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd.path()));
    places.searchPath = {QStringLiteral("."), QString()};
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), underPrefix);
    QDir::setCurrent(saved);

    // No korvo anywhere else: the running one is all there is.
    places.installedBinary = dir.filePath(QStringLiteral("nowhere/bin/korvo"));
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), running);
    places.installedBinary.clear();
    EXPECT_EQ(XdgAutostartLoginItem::launchCommand(running, places), running);
}
