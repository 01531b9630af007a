// The Wayland tests run against one headless sway for the whole run, started before Qt so that
// Qt's own windows (the test's click-catching window) live on it too.
#include "SwaySession.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvo::test {
SwaySession* g_sway = nullptr;
SwaySession& sway() {
    return *g_sway;
}
}  // namespace korvo::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    auto session = std::make_unique<korvo::test::SwaySession>();
    if (!session->running()) {
        std::fprintf(stderr, "headless sway did not start\n");
        return 1;
    }
    korvo::test::g_sway = session.get();
    // Qt's runtime folder must be private to this user; sway's belongs to its own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(session->socket()));
    qunsetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "wayland");
    int rc = 0;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    session.reset();
    return rc;
}
