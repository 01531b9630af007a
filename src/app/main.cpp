#include "app/AppContext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Korvo: a live island at the top of the screen"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Run the demo tour."));
    QCommandLineOption once(QStringLiteral("once"),
                            QStringLiteral("Start, settle and exit (used by checks)."));
    parser.addOption(demo);
    parser.addOption(once);
    parser.process(app);

    korvo::AppContext context(QCoreApplication::applicationFilePath());
    context.engine.start();

    const bool headless = qEnvironmentVariableIsEmpty("DISPLAY");
    if (parser.isSet(once) || headless) {
        std::printf("korvo %s: core started (%zu activities)\n", KORVO_VERSION,
                    context.engine.activities.get().size());
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
