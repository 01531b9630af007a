// Which surface the island gets: the Wayland layer surface where a compositor offers
// layer-shell, the X11 panel elsewhere, and what `--platform` may override.
#include "app/PanelBackend.h"

#include <gtest/gtest.h>

#include <array>

using namespace korvo;

namespace {

DesktopProbe wlroots() {
    return {true, true, true, true};  // a layer-shell compositor with XWayland beside it
}
DesktopProbe gnome() {
    return {true, true, false, true};  // Wayland without layer-shell, XWayland on DISPLAY
}
DesktopProbe xsession() {
    return {false, false, false, true};
}

}  // namespace

TEST(PanelBackend, TheSessionDecidesWhenNothingIsAskedFor) {
    EXPECT_EQ(choosePanelBackend(std::nullopt, wlroots()).backend, PanelBackend::wayland);
    // No layer-shell: the X11 panel through XWayland, and the log says why.
    const BackendChoice g = choosePanelBackend(std::nullopt, gnome());
    EXPECT_EQ(g.backend, PanelBackend::x11);
    EXPECT_TRUE(g.reason.contains("layer-shell"));
    EXPECT_TRUE(g.reason.contains("XWayland"));
    EXPECT_EQ(choosePanelBackend(std::nullopt, xsession()).backend, PanelBackend::x11);
    // WAYLAND_DISPLAY set but nobody answers there: fall back to X.
    EXPECT_EQ(choosePanelBackend(std::nullopt, {true, false, false, true}).backend,
              PanelBackend::x11);
    // A layer-shell compositor without XWayland.
    EXPECT_EQ(choosePanelBackend(std::nullopt, {true, true, true, false}).backend,
              PanelBackend::wayland);
    // Nothing at all: no backend, and a reason to print.
    const BackendChoice none = choosePanelBackend(std::nullopt, {});
    EXPECT_FALSE(none.backend);
    EXPECT_FALSE(none.reason.isEmpty());
}

TEST(PanelBackend, ARequestOverridesButNeverPicksWhatCannotWork) {
    EXPECT_EQ(choosePanelBackend(PanelBackend::x11, wlroots()).backend, PanelBackend::x11);
    EXPECT_EQ(choosePanelBackend(PanelBackend::wayland, wlroots()).backend, PanelBackend::wayland);
    // Wayland asked for where the compositor has no layer-shell: refused, not the X11 panel.
    const BackendChoice refused = choosePanelBackend(PanelBackend::wayland, gnome());
    EXPECT_FALSE(refused.backend);
    EXPECT_TRUE(refused.reason.contains("layer-shell"));
    EXPECT_FALSE(choosePanelBackend(PanelBackend::wayland, xsession()).backend);
    EXPECT_FALSE(choosePanelBackend(PanelBackend::x11, {true, true, true, false}).backend);
}

TEST(PanelBackend, PlatformArgumentIsTakenOutBeforeQtSeesIt) {
    std::array<QByteArray, 6> storage = {"korvo",   "--demo", "--platform",
                                         "wayland", "--x",    "--platform=x11"};
    std::array<char*, 7> argv{};
    for (std::size_t i = 0; i < storage.size(); ++i) {
        argv[i] = storage[i].data();
    }
    int argc = 6;
    // The last one given wins; both spellings are removed.
    EXPECT_EQ(takePlatformArgument(argc, argv.data()), QStringLiteral("x11"));
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[1], "--demo");
    EXPECT_STREQ(argv[2], "--x");
    EXPECT_EQ(argv[3], nullptr);

    std::array<QByteArray, 2> dangling = {"korvo", "--platform"};
    std::array<char*, 3> argv2{dangling[0].data(), dangling[1].data(), nullptr};
    int argc2 = 2;
    const auto missing = takePlatformArgument(argc2, argv2.data());
    ASSERT_TRUE(missing);
    EXPECT_TRUE(parsePlatformRequest(missing).invalid);
    EXPECT_EQ(argc2, 1);

    EXPECT_EQ(parsePlatformRequest(QStringLiteral("Wayland")).backend, PanelBackend::wayland);
    EXPECT_EQ(parsePlatformRequest(QStringLiteral("xcb")).backend, PanelBackend::x11);
    EXPECT_TRUE(parsePlatformRequest(QStringLiteral("mir")).invalid);
    EXPECT_FALSE(parsePlatformRequest(std::nullopt).invalid);
    EXPECT_FALSE(parsePlatformRequest(std::nullopt).backend);
}
