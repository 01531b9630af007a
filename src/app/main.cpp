#include "app/AppContext.h"
#include "app/SnapshotTour.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    const bool hasDisplay =
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("korvo"));
    QGuiApplication::setApplicationVersion(QStringLiteral(KORVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Korvo: a live island at the top of the screen"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption snapshots(QStringLiteral("snapshots"),
                                 QStringLiteral("Write a PNG of every presentation into <dir>."),
                                 QStringLiteral("dir"));
    QCommandLineOption scale(QStringLiteral("scale"),
                             QStringLiteral("Device pixels per point for --snapshots."),
                             QStringLiteral("n"), QStringLiteral("2"));
    QCommandLineOption once(QStringLiteral("once"),
                            QStringLiteral("Start, settle and exit (used by checks)."));
    parser.addOption(snapshots);
    parser.addOption(scale);
    parser.addOption(once);
    parser.process(app);

    if (parser.isSet(snapshots)) {
        bool ok = false;
        const double s = parser.value(scale).toDouble(&ok);
        if (!ok || s <= 0 || s > 8) {
            std::fprintf(stderr, "korvo: --scale wants a number between 0 and 8\n");
            return 2;
        }
        const QStringList files = korvo::writeSnapshotTour(parser.value(snapshots), s);
        for (const QString& f : files) {
            std::printf("%s\n", qPrintable(f));
        }
        return files.isEmpty() ? 1 : 0;
    }

    korvo::AppContext context(QCoreApplication::applicationFilePath());
    context.engine.start();

    if (parser.isSet(once) || !hasDisplay) {
        std::printf("korvo %s: started without a display; nothing to show\n", KORVO_VERSION);
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
