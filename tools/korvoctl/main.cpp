// korvoctl: talks to the running Korvo over the session bus.
#include "app/ControlProtocol.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace korvo::control;

namespace {

constexpr int kUsageError = 2;

const char* kUsage =
    "usage: korvoctl COMMAND [OPTIONS]\n"
    "  state                         what the island holds, as JSON\n"
    "  tree                          what the island shows, as JSON\n"
    "  toast --icon NAME --title TEXT [--subtitle TEXT] [--duration S] [--priority P]\n"
    "  activity start|update ID --kind KIND --icon NAME --title TEXT [--subtitle TEXT]\n"
    "                          [--progress 0..1] [--priority P]\n"
    "  activity end ID\n"
    "  expand | collapse | toggle | hud\n"
    "  settings                      open the settings window\n"
    "  snapshot FILE.png [--scale N]\n"
    "KIND: download, timer, build, custom; P: low, normal, high, critical\n";

int usage(const QString& why) {
    std::fprintf(stderr, "korvoctl: %s\n%s", qPrintable(why), kUsage);
    return kUsageError;
}

// Options as --name value pairs; unknown or repeated names are errors.
struct Options {
    QMap<QString, QString> values;
    QStringList positional;
    QString error;
};

Options parse(const QStringList& args, const QStringList& allowed) {
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith(QStringLiteral("--"))) {
            const QString name = a.mid(2);
            if (!allowed.contains(name)) {
                o.error = QStringLiteral("unknown option ") + a;
                return o;
            }
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("option ") + a + QStringLiteral(" needs a value");
                return o;
            }
            if (o.values.contains(name)) {
                o.error = QStringLiteral("option ") + a + QStringLiteral(" given twice");
                return o;
            }
            o.values.insert(name, args[++i]);
        } else {
            o.positional << a;
        }
    }
    return o;
}

std::optional<double> number(const Options& o, const QString& name, double fallback) {
    if (!o.values.contains(name)) {
        return fallback;
    }
    bool ok = false;
    const double v = o.values.value(name).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

int call(QDBusInterface& iface, const QString& method, const QVariantList& args,
         bool printResult = false) {
    const QDBusMessage reply = iface.callWithArgumentList(QDBus::Block, method, args);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "korvoctl: %s\n", qPrintable(reply.errorMessage()));
        // A request the island refuses, for what it asks or because it is full, is the
        // caller's to change: the same status as a bad command line.
        const QString error = reply.errorName();
        return error == QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs") ||
                       error == QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded")
                   ? kUsageError
                   : 1;
    }
    if (printResult && !reply.arguments().isEmpty()) {
        std::printf("%s\n", qPrintable(reply.arguments().first().toString().trimmed()));
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        return usage(QStringLiteral("no command given"));
    }
    const QString command = args.takeFirst();
    if (command == QStringLiteral("--help") || command == QStringLiteral("help")) {
        std::printf("%s", kUsage);
        return 0;
    }

    // Check the request completely before touching the bus: nothing half-posted.
    QString method;
    QVariantList callArgs;
    bool printResult = false;
    if (command == QStringLiteral("state") || command == QStringLiteral("tree")) {
        if (!args.isEmpty()) {
            return usage(command + QStringLiteral(" takes no arguments"));
        }
        method =
            command == QStringLiteral("state") ? QStringLiteral("State") : QStringLiteral("Tree");
        printResult = true;
    } else if (command == QStringLiteral("expand") || command == QStringLiteral("collapse") ||
               command == QStringLiteral("toggle") || command == QStringLiteral("hud")) {
        if (!args.isEmpty()) {
            return usage(command + QStringLiteral(" takes no arguments"));
        }
        method = command.left(1).toUpper() + command.mid(1);
    } else if (command == QStringLiteral("settings")) {
        if (!args.isEmpty()) {
            return usage(command + QStringLiteral(" takes no arguments"));
        }
        method = QStringLiteral("OpenSettings");
    } else if (command == QStringLiteral("toast")) {
        const Options o = parse(
            args, {QStringLiteral("icon"), QStringLiteral("title"), QStringLiteral("subtitle"),
                   QStringLiteral("duration"), QStringLiteral("priority")});
        if (!o.error.isEmpty()) {
            return usage(o.error);
        }
        if (!o.positional.isEmpty()) {
            return usage(QStringLiteral("unexpected argument ") + o.positional.first());
        }
        const auto duration = number(o, QStringLiteral("duration"), 2.5);
        const auto priority =
            parsePriority(o.values.value(QStringLiteral("priority"), QStringLiteral("normal")));
        if (!duration) {
            return usage(QStringLiteral("--duration wants a number of seconds"));
        }
        if (!priority) {
            return usage(QStringLiteral("--priority wants low, normal, high or critical"));
        }
        const ToastRequest r{o.values.value(QStringLiteral("icon")),
                             o.values.value(QStringLiteral("title")),
                             o.values.value(QStringLiteral("subtitle")), *duration, *priority};
        if (auto why = validate(r)) {
            return usage(*why);
        }
        method = QStringLiteral("Toast");
        callArgs = {r.icon, r.title, r.subtitle, r.duration, r.priority};
        printResult = true;
    } else if (command == QStringLiteral("activity")) {
        if (args.isEmpty()) {
            return usage(QStringLiteral("activity wants start, update or end"));
        }
        const QString verb = args.takeFirst();
        const Options o = parse(args, {QStringLiteral("kind"), QStringLiteral("icon"),
                                       QStringLiteral("title"), QStringLiteral("subtitle"),
                                       QStringLiteral("progress"), QStringLiteral("priority")});
        if (!o.error.isEmpty()) {
            return usage(o.error);
        }
        if (o.positional.size() != 1) {
            return usage(QStringLiteral("activity ") + verb + QStringLiteral(" wants one id"));
        }
        if (verb == QStringLiteral("end")) {
            if (!o.values.isEmpty()) {
                return usage(QStringLiteral("activity end takes only an id"));
            }
            ActivityRequest r;
            r.id = o.positional.first();
            if (auto why = validate(r, false)) {
                return usage(*why);
            }
            method = QStringLiteral("EndActivity");
            callArgs = {r.id};
        } else if (verb == QStringLiteral("start") || verb == QStringLiteral("update")) {
            const auto progress = number(o, QStringLiteral("progress"), -1);
            const auto priority =
                parsePriority(o.values.value(QStringLiteral("priority"), QStringLiteral("normal")));
            if (!progress || (o.values.contains(QStringLiteral("progress")) && *progress < 0)) {
                return usage(QStringLiteral("--progress wants a number between 0 and 1"));
            }
            if (!priority) {
                return usage(QStringLiteral("--priority wants low, normal, high or critical"));
            }
            const ActivityRequest r{o.positional.first(),
                                    o.values.value(QStringLiteral("kind")),
                                    o.values.value(QStringLiteral("icon")),
                                    o.values.value(QStringLiteral("title")),
                                    o.values.value(QStringLiteral("subtitle")),
                                    *progress,
                                    *priority};
            if (auto why = validate(r, true)) {
                return usage(*why);
            }
            method = verb == QStringLiteral("start") ? QStringLiteral("StartActivity")
                                                     : QStringLiteral("UpdateActivity");
            callArgs = {r.id, r.kind, r.icon, r.title, r.subtitle, r.progress, r.priority};
        } else {
            return usage(QStringLiteral("activity wants start, update or end, not ") + verb);
        }
    } else if (command == QStringLiteral("snapshot")) {
        const Options o = parse(args, {QStringLiteral("scale")});
        if (!o.error.isEmpty()) {
            return usage(o.error);
        }
        if (o.positional.size() != 1) {
            return usage(QStringLiteral("snapshot wants one file name"));
        }
        const auto scale = number(o, QStringLiteral("scale"), 2);
        if (!scale || *scale <= 0 || *scale > 8) {
            return usage(QStringLiteral("--scale wants a number above 0 and at most 8"));
        }
        const QFileInfo file(o.positional.first());
        if (!file.dir().exists()) {
            return usage(QStringLiteral("no such folder: ") + file.dir().path());
        }
        method = QStringLiteral("Snapshot");
        callArgs = {file.absoluteFilePath(), *scale};
        printResult = true;
    } else {
        return usage(QStringLiteral("unknown command ") + command);
    }

    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "korvoctl: no session bus\n");
        return 1;
    }
    QDBusInterface iface(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                         QString::fromLatin1(kInterface), bus);
    if (!iface.isValid()) {
        std::fprintf(stderr, "korvoctl: Korvo is not running\n");
        return 1;
    }
    return call(iface, method, callArgs, printResult);
}
