#include "services/screenshots/ScreenshotActivityProvider.h"
#include "services/screenshots/ScreenshotService.h"

#include "core/Posted.h"
#include "core/VirtualLoop.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class FakeCaptureIndex : public ScreenCaptureIndex {
public:
    Subscription watch(std::function<void(const QStringList&)> added) override {
        ++watches;
        return m_added.subscribe(std::move(added));
    }
    void report(const QStringList& paths) { m_added.send(paths); }
    std::size_t observers() const { return m_added.subscriberCount(); }

    int watches = 0;

private:
    Signal<QStringList> m_added;
};

class FakeWorkspace : public Workspace {
public:
    void open(const QUrl& url) override { opened.push_back(url); }
    std::vector<QUrl> opened;
};

class ScreenshotServiceTest : public ::testing::Test {
protected:
    ScreenshotServiceTest() : bus(loop), service(bus, index, workspace) {}

    VirtualLoop loop;
    EventBus bus;
    FakeCaptureIndex index;
    FakeWorkspace workspace;
    ScreenshotService service;
    test::Posted posted{bus};
    std::vector<TransientNotification>& toasts = posted.toasts;
};

}  // namespace

TEST_F(ScreenshotServiceTest, NewCaptureToastNamesTheFileAndItsActionOpensIt) {
    ScreenshotActivityProvider provider(service);
    provider.start();
    index.report({QStringLiteral("/home/ada/Pictures/Screenshots/shot.png")});

    ASSERT_EQ(toasts.size(), 1u);
    const auto& t = toasts.front();
    EXPECT_EQ(t.subtitle, QStringLiteral("shot.png"));
    EXPECT_TRUE(posted.activities.empty());  // a toast only, never an activity

    EXPECT_TRUE(workspace.opened.empty());  // nothing opens until the action runs
    ASSERT_TRUE(t.action);
    t.action();
    ASSERT_EQ(workspace.opened.size(), 1u);
    EXPECT_EQ(workspace.opened.front(),
              QUrl::fromLocalFile(QStringLiteral("/home/ada/Pictures/Screenshots/shot.png")));

    // Blanks, '#' and non-ASCII letters are file-name characters, not URL syntax.
    const QString odd = QStringLiteral("/home/ada/Bilder/Bildschirmfoto #2 vom 05.01. ü.png");
    index.report({odd});
    ASSERT_EQ(toasts.size(), 2u);
    EXPECT_EQ(toasts.back().subtitle, QStringLiteral("Bildschirmfoto #2 vom 05.01. ü.png"));
    toasts.back().action();
    EXPECT_EQ(workspace.opened.back().toLocalFile(), odd);
}

TEST_F(ScreenshotServiceTest, OnlyTheFirstCaptureOfAnUpdateIsAnnounced) {
    service.start();
    index.report({QStringLiteral("/h/a.png"), QStringLiteral("/h/b.png")});
    ASSERT_EQ(toasts.size(), 1u);
    EXPECT_EQ(toasts.front().subtitle, QStringLiteral("a.png"));
    // Updates without a usable first path are dropped.
    index.report({});
    index.report({QString(), QStringLiteral("/h/later.png")});
    EXPECT_EQ(toasts.size(), 1u);
}

TEST_F(ScreenshotServiceTest, StartIsIdempotentAndNothingIsWatchedBeforeIt) {
    EXPECT_EQ(index.watches, 0);
    service.start();
    service.start();
    EXPECT_EQ(index.watches, 1);
    EXPECT_EQ(index.observers(), 1u);
    index.report({QStringLiteral("/h/c.png")});
    EXPECT_EQ(toasts.size(), 1u);
}
