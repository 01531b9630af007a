// The Wayland tests run against one headless sway for the whole run. Qt itself runs offscreen:
// everything the tests show on sway speaks Wayland through connections of its own.
#include "SwaySession.h"

#include <QGuiApplication>
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int rc = 0;
    {
        QGuiApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    session.reset();
    return rc;
}
