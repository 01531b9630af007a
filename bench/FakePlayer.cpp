// A media player on the session bus for the process measurements: it plays one track, or with
// --tracks N changes track every --every milliseconds, each with a cover of its own as a local
// file, then keeps playing the last one; with --paused 1 it sits paused. Like a real player it
// announces each change with PropertiesChanged and keeps its position to itself. Prints "ready"
// once on the bus and "done" after the last change; with --calls-file it keeps the number of
// calls it has received in that file.
//   korvo_fake_player [--tracks N] [--every MS] [--report 1] [--paused 1] [--calls-file PATH]
#include "fakes/FakeMprisPlayer.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

QString writeCover(const QTemporaryDir& dir, int n) {
    QImage image(640, 640, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((n * 37) % 360, 180, 200));
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, QString::number(n));
    p.end();
    const QString path = dir.filePath(QStringLiteral("cover-%1.jpg").arg(n));
    image.save(path, "JPEG", 85);
    return QUrl::fromLocalFile(path).toString();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // covers are drawn, nothing is shown
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name, int fallback) {
        const int i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int tracks = option("--tracks", 1);
    const int every = option("--every", 1500);
    const bool report = option("--report", 0) != 0;  // prints "track N" after each change
    const bool paused = option("--paused", 0) != 0;
    const int callsAt = args.indexOf(QLatin1String("--calls-file"));
    const QString callsFile =
        callsAt >= 0 && callsAt + 1 < args.size() ? args[callsAt + 1] : QString();

    QTemporaryDir covers;
    korvo::FakeMprisPlayer player(QStringLiteral("org.mpris.MediaPlayer2.korvobench"),
                                  QStringLiteral("Bench Player"));
    int n = 0;
    QElapsedTimer playing;  // the position runs on, as a real player's does
    playing.start();
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout,
                     [&] { player.setPosition(static_cast<double>(playing.elapsed()) / 1000); });
    clock.start(250);
    auto change = [&] {
        playing.restart();
        player.setTrack(QStringLiteral("Track %1").arg(n), {QStringLiteral("The Measurers")}, 240,
                        {{QStringLiteral("mpris:artUrl"), writeCover(covers, n)},
                         {QStringLiteral("xesam:album"), QStringLiteral("Figures")}});
        player.setPosition(0);
    };
    change();
    if (paused) {
        player.setStatus(QStringLiteral("Paused"));
        clock.stop();
    }
    if (!player.attach()) {
        std::fprintf(stderr, "korvo_fake_player: no session bus or the name is taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    // The count of calls received, for the measurement to read before and after a window.
    QTimer counting;
    int written = -1;
    auto writeCalls = [&] {
        const int calls = player.callCount();
        if (calls != written && !callsFile.isEmpty()) {
            QFile out(callsFile);
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                out.write(QByteArray::number(calls) + '\n');
                written = calls;
            }
        }
    };
    QObject::connect(&counting, &QTimer::timeout, writeCalls);
    if (!callsFile.isEmpty()) {
        writeCalls();
        counting.start(500);
    }

    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++n >= tracks) {
            timer.stop();
            std::printf("done\n");
            std::fflush(stdout);
            return;
        }
        QFile::remove(covers.filePath(QStringLiteral("cover-%1.jpg").arg(n - 1)));
        change();
        if (report) {
            std::printf("track %d\n", n);
            std::fflush(stdout);
        }
    });
    if (tracks > 1) {
        timer.start(every);
    }
    return app.exec();
}
