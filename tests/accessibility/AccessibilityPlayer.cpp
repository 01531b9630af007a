// A media player for the screen-reader test: one track playing, and every method call it
// receives printed as a line ("call PlayPause"), so the test counts what reached the player.
//   korvo_a11y_player
#include "fakes/FakeMprisPlayer.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    korvo::FakeMprisPlayer player(QStringLiteral("org.mpris.MediaPlayer2.korvoreader"),
                                  QStringLiteral("Reader Player"));
    player.setTrack(QStringLiteral("Midnight City"), {QStringLiteral("Night Drive")}, 240);
    player.setPosition(75);
    player.setVolume(0.5);
    if (!player.attach()) {
        std::fprintf(stderr, "korvo_a11y_player: no session bus or the name is taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    qsizetype reported = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QStringList calls = player.calls();
        for (; reported < calls.size(); ++reported) {
            // Property reads are the island polling; only commands are reported.
            if (!calls[reported].startsWith(QLatin1String("Get"))) {
                std::printf("call %s\n", qPrintable(calls[reported]));
            }
        }
        std::fflush(stdout);
    });
    poll.start(20);
    return app.exec();
}
