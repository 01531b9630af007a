#pragma once
// A headless sway for tests: its own temporary home and runtime folder, one 1440 × 900 output
// (in points: at scale 2 it has twice the pixels), no bar. Given a parent compositor's socket it
// runs nested instead, each output a window of the parent: closing that window takes the output
// away, which a headless output cannot do. sway refuses to run as root, so under
// root it runs as nobody (65534) in folders that uid owns; root reaches its sockets all the same. A
// virtual pointer gives the seat a pointer, as a headless compositor has no input devices of its
// own. Clients connect by the socket's path.

#include "platform/linux/wayland/WaylandConnection.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <wayland-client.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace korvo::test {

class SwaySession {
public:
    static constexpr int kWidth = 1440;
    static constexpr int kHeight = 900;

    explicit SwaySession(int scale = 1, const QString& parent = {}) {
        if (!m_dir.isValid()) {
            return;
        }
        const QString home = m_dir.filePath(QStringLiteral("home"));
        const QString runtime = m_dir.filePath(QStringLiteral("run"));
        QDir().mkpath(home);
        QDir().mkpath(runtime);
        const QString config = m_dir.filePath(QStringLiteral("config"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) {
            return;
        }
        if (parent.isEmpty()) {
            f.write(QStringLiteral("output HEADLESS-1 resolution %1x%2 position 0 0 scale %3\n")
                        .arg(kWidth * scale)
                        .arg(kHeight * scale)
                        .arg(scale)
                        .toUtf8());
        }
        f.write("default_border none\nfocus_follows_mouse no\n");
        f.close();
        const bool root = geteuid() == 0;
        if (root) {
            // sway's user owns its folders, private to it as a runtime folder must be.
            for (const QString& p : {m_dir.path(), home, runtime}) {
                chown(QFile::encodeName(p).constData(), kNobody, kNobody);
            }
            chmod(QFile::encodeName(m_dir.path()).constData(), 0711);
            chmod(QFile::encodeName(home).constData(), 0700);
            chmod(QFile::encodeName(runtime).constData(), 0700);
            chmod(QFile::encodeName(config).constData(), 0644);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "SWAYSOCK", "I3SOCK"}) {
            env.remove(QString::fromLatin1(name));
        }
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("WLR_BACKENDS"),
                   parent.isEmpty() ? QStringLiteral("headless") : QStringLiteral("wayland"));
        if (!parent.isEmpty()) {
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), parent);
        }
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        m_sway.setProcessEnvironment(env);
        m_sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_sway.setStandardOutputFile(QProcess::nullDevice());
        QStringList args{QStringLiteral("sway"), QStringLiteral("-c"), config};
        if (root) {
            args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups")} +
                   args;
            m_sway.start(QStringLiteral("setpriv"), args);
        } else {
            m_sway.start(args.takeFirst(), args);
        }
        if (!m_sway.waitForStarted(10000)) {
            return;
        }
        // The sockets appear once sway is up; ten seconds is far beyond its start on any host.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && m_sway.state() == QProcess::Running) {
            const QDir run(runtime);
            const QStringList wayland = run.entryList({QStringLiteral("wayland-*")}, QDir::System);
            const QStringList ipc = run.entryList({QStringLiteral("sway-ipc.*")}, QDir::System);
            for (const QString& w : wayland) {
                if (!w.endsWith(QLatin1String(".lock"))) {
                    m_socket = run.filePath(w);
                }
            }
            if (!m_socket.isEmpty() && !ipc.isEmpty()) {
                m_ipc = run.filePath(ipc.first());
                break;
            }
            QThread::msleep(20);
        }
        if (m_ipc.isEmpty()) {
            return;
        }
        addPointer();
    }

    ~SwaySession() {
        if (m_pointer) {
            zwlr_virtual_pointer_v1_destroy(m_pointer);
        }
        if (m_pointerManager) {
            zwlr_virtual_pointer_manager_v1_destroy(m_pointerManager);
        }
        m_input.reset();
        if (m_sway.state() != QProcess::NotRunning) {
            m_sway.terminate();
            if (!m_sway.waitForFinished(10000)) {
                m_sway.kill();
                m_sway.waitForFinished(5000);
            }
        }
    }

    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    bool running() const { return m_pointer && m_sway.state() == QProcess::Running; }
    /// The compositor's socket, as an absolute path (a WAYLAND_DISPLAY value).
    QString socket() const { return m_socket; }

    /// The environment of a client of this compositor.
    QProcessEnvironment clientEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
        env.remove(QStringLiteral("DISPLAY"));
        return env;
    }

    struct Run {
        int code = -1;
        QByteArray out;
    };
    /// Runs `swaymsg -s IPC args` and waits for it.
    Run swaymsg(const QStringList& args) const {
        return run(QStringLiteral("swaymsg"), QStringList{QStringLiteral("-s"), m_ipc} + args);
    }
    /// A screenshot of `output` (all outputs when empty) with grim.
    QImage grim(const QString& output = {}) const {
        const QString file = m_dir.filePath(QStringLiteral("shot.png"));
        QStringList args;
        if (!output.isEmpty()) {
            args << QStringLiteral("-o") << output;
        }
        args << file;
        if (run(QStringLiteral("grim"), args).code != 0) {
            return {};
        }
        return QImage(file);
    }

    Run run(const QString& program, const QStringList& args, const QByteArray& input = {}) const {
        QProcess p;
        p.setProcessEnvironment(clientEnvironment());
        p.start(program, args);
        if (!input.isEmpty()) {
            p.write(input);
        }
        p.closeWriteChannel();
        Run r;
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished(5000);
            return r;
        }
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        return r;
    }

    /// Scrolls with the session's pointer as a touchpad does: `dy` points down, fingers then
    /// lifted.
    void fingerScroll(double dy) {
        zwlr_virtual_pointer_v1_axis_source(m_pointer, WL_POINTER_AXIS_SOURCE_FINGER);
        zwlr_virtual_pointer_v1_axis(m_pointer, 0, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                     wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(m_pointer);
        zwlr_virtual_pointer_v1_axis_source(m_pointer, WL_POINTER_AXIS_SOURCE_FINGER);
        zwlr_virtual_pointer_v1_axis_stop(m_pointer, 0, WL_POINTER_AXIS_VERTICAL_SCROLL);
        zwlr_virtual_pointer_v1_frame(m_pointer);
        m_input->roundtrip();
    }

private:
    static constexpr uid_t kNobody = 65534;

    void addPointer() {
        m_input = wayland::Connection::connect(QFile::encodeName(m_socket));
        if (!m_input) {
            return;
        }
        const auto global = m_input->global(zwlr_virtual_pointer_manager_v1_interface.name);
        if (!global) {
            return;
        }
        m_pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(wl_registry_bind(
            m_input->registry(), global->first, &zwlr_virtual_pointer_manager_v1_interface, 1));
        m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m_pointerManager,
                                                                           m_input->seat());
        m_input->roundtrip();
    }

    QTemporaryDir m_dir;
    QProcess m_sway;
    QString m_socket;
    QString m_ipc;
    std::unique_ptr<wayland::Connection> m_input;
    zwlr_virtual_pointer_manager_v1* m_pointerManager = nullptr;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
};

}  // namespace korvo::test
