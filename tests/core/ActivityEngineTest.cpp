#include "core/EngineScene.h"

using namespace korvo;
using korvo::test::EngineScene;

namespace {

QDateTime at(int h, int m) {
    return QDateTime(QDate(2026, 3, 2), QTime(h, m), Qt::UTC);
}

Activity make(const QString& id, ActivityPriority p, QDateTime started) {
    Activity a = test::activity(id, GenericPayload{QStringLiteral("star"), id, {}, {}});
    a.priority = p;
    a.startedAt = std::move(started);
    return a;
}

class RecordingProvider : public ActivityProvider {
public:
    RecordingProvider(QString name, QStringList& log) : m_name(std::move(name)), m_log(log) {}
    QString name() const override { return m_name; }
    void start() override { m_log << m_name; }

private:
    QString m_name;
    QStringList& m_log;
};

using EngineTest = EngineScene;

}  // namespace

TEST_F(EngineTest, StateChangesOneMainQueueTurnAfterAPost) {
    bus.post(ActivityStarted{make("a", ActivityPriority::normal, at(10, 0))});
    EXPECT_TRUE(engine.activities.get().empty());
    loop.runUntilIdle();
    EXPECT_EQ(ids(), QStringList{"a"});
}

TEST_F(EngineTest, RestartingALiveIdMovesItToTheEndOnceAndPrefersIt) {
    start(make("a", ActivityPriority::normal, at(10, 0)));
    start(make("b", ActivityPriority::normal, at(10, 5)));
    start(make("a", ActivityPriority::normal, at(10, 0)));
    EXPECT_EQ(ids(), (QStringList{"b", "a"}));
    EXPECT_EQ(focusedId(), "a");  // preferred although b started later
}

TEST_F(EngineTest, NewcomerAtLeastAsImportantTakesFocusAndEndingFallsBackToLatest) {
    start(make("A", ActivityPriority::normal, at(10, 0)));
    start(make("B", ActivityPriority::normal, at(10, 5)));
    start(make("C", ActivityPriority::normal, at(9, 0)));
    EXPECT_EQ(focusedId(), "C");
    post(ActivityEnded{"C"});
    EXPECT_EQ(focusedId(), "B");
}

TEST_F(EngineTest, LowerPriorityNewcomerDoesNotStealAndUpdatesNeverRefocus) {
    start(make("A", ActivityPriority::high, at(10, 0)));
    start(make("B", ActivityPriority::normal, at(10, 5)));
    EXPECT_EQ(focusedId(), "A");
    post(ActivityUpdated{make("A", ActivityPriority::low, at(10, 0))});
    EXPECT_EQ(focusedId(), "A");
    EXPECT_EQ(engine.focused.get()->priority, ActivityPriority::low);
    start(make("C", ActivityPriority::normal, at(8, 0)));
    EXPECT_EQ(focusedId(), "C");
}

TEST_F(EngineTest, TieOfPriorityAndStartKeepsTheFrontMost) {
    start(make("A", ActivityPriority::high, at(10, 0)));
    start(make("B", ActivityPriority::high, at(10, 0)));
    EXPECT_EQ(focusedId(), "B");  // preferred newcomer
    start(make("low", ActivityPriority::low, at(11, 0)));
    EXPECT_EQ(focusedId(), "A");  // best of the tie is the one nearer the front
    post(ActivityEnded{"A"});
    EXPECT_EQ(focusedId(), "B");
}

TEST_F(EngineTest, UpdatesReplaceInPlaceAndPublishFocusOnlyForTheFocusedOne) {
    start(make("a", ActivityPriority::normal, at(10, 0)));
    start(make("b", ActivityPriority::normal, at(10, 5)));  // focused
    int focusEmissions = 0;
    auto sub = engine.focused.subscribe([&](const std::optional<Activity>&) { ++focusEmissions; });
    focusEmissions = 0;

    auto a2 = make("a", ActivityPriority::normal, at(10, 0));
    a2.payload = GenericPayload{QStringLiteral("x"), QStringLiteral("new a"), {}, 0.5};
    post(ActivityUpdated{a2});
    EXPECT_EQ(ids(), (QStringList{"a", "b"}));
    EXPECT_EQ(std::get<GenericPayload>(engine.activities.get()[0].payload).title, "new a");
    EXPECT_EQ(focusEmissions, 0);

    auto b2 = make("b", ActivityPriority::normal, at(10, 5));
    b2.payload = GenericPayload{QStringLiteral("x"), QStringLiteral("new b"), {}, {}};
    post(ActivityUpdated{b2});
    EXPECT_EQ(focusEmissions, 1);
    EXPECT_EQ(std::get<GenericPayload>(engine.focused.get()->payload).title, "new b");
}

TEST_F(EngineTest, UpdateOfUnknownIdActsAsAStart) {
    start(make("a", ActivityPriority::normal, at(10, 0)));
    post(ActivityUpdated{make("u", ActivityPriority::normal, at(9, 0))});
    EXPECT_EQ(ids(), (QStringList{"a", "u"}));
    EXPECT_EQ(focusedId(), "u");
}

TEST_F(EngineTest, EndingUnfocusedOrUnknownLeavesFocusAndEndingLastClearsIt) {
    start(make("a", ActivityPriority::normal, at(10, 0)));
    start(make("b", ActivityPriority::normal, at(10, 5)));
    post(ActivityEnded{"a"});
    EXPECT_EQ(focusedId(), "b");
    post(ActivityEnded{"nobody"});
    EXPECT_EQ(focusedId(), "b");
    EXPECT_EQ(ids(), QStringList{"b"});
    post(ActivityEnded{"b"});
    EXPECT_EQ(focusedId(), "-");
    EXPECT_TRUE(engine.activities.get().empty());
}

TEST_F(EngineTest, ToastsQueueByPriorityAndExpireFromTheirOwnEnqueue) {
    toast("T1", 4);
    toast("T2", 2, ActivityPriority::low);
    toast("T3", 2.5, ActivityPriority::high);
    EXPECT_EQ(toastTitles(), (QStringList{"T3", "T1", "T2"}));
    loop.advance(1.999);
    EXPECT_EQ(toastTitles(), (QStringList{"T3", "T1", "T2"}));
    loop.advance(0.001);
    EXPECT_EQ(toastTitles(), (QStringList{"T3", "T1"}));  // T2 never reached the head
    loop.advance(0.5);
    EXPECT_EQ(toastTitles(), QStringList{"T1"});
    loop.advance(1.5);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(EngineTest, EqualPriorityToastsKeepArrivalOrderAndDuplicatesBothQueue) {
    toast("same", 3);
    toast("other", 3);
    toast("same", 3);
    EXPECT_EQ(toastTitles(), (QStringList{"same", "other", "same"}));
    loop.advance(3);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(EngineTest, ToastExpiryAfterTheEngineIsGoneIsHarmless) {
    auto other = std::make_unique<ActivityEngine>(loop, bus, log);
    other->start();
    toast("t", 1);
    other.reset();
    loop.advance(2);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(EngineTest, ToastEnqueueWritesTheDebugLine) {
    toast("Charging", 2);
    toast("Full", 2);
    EXPECT_EQ(logged("engine: "), (QStringList{"engine: toast enqueued 'Charging' queue=1",
                                               "engine: toast enqueued 'Full' queue=2"}));
}

TEST_F(EngineTest, CarouselFollowsStartTimeAndWraps) {
    start(make("mid", ActivityPriority::normal, at(10, 1)));
    start(make("late", ActivityPriority::low, at(10, 2)));
    start(make("early", ActivityPriority::low, at(10, 0)));
    EXPECT_EQ(focusedId(), "mid");
    engine.focusNext(+1);
    EXPECT_EQ(focusedId(), "late");
    engine.focusNext(+1);
    EXPECT_EQ(focusedId(), "early");
    engine.focusNext(-1);
    EXPECT_EQ(focusedId(), "late");
    // The chosen focus persists through events that do not refocus.
    post(ActivityEnded{"mid"});
    EXPECT_EQ(focusedId(), "late");
}

TEST_F(EngineTest, CarouselWithoutFocusGoesToEarliestAndEmptyDoesNothing) {
    engine.focusNext(1);
    EXPECT_EQ(focusedId(), "-");
    start(make("b", ActivityPriority::normal, at(10, 5)));
    start(make("a", ActivityPriority::low, at(10, 0)));
    engine.focused.set(std::nullopt);
    engine.focusNext(-1);
    EXPECT_EQ(focusedId(), "a");
    engine.focused.set(make("stale", ActivityPriority::normal, at(9, 0)));
    engine.focusNext(+1);
    EXPECT_EQ(focusedId(), "a");
}

TEST(EngineStart, SubscribesBeforeStartingProvidersInRegistrationOrder) {
    VirtualLoop loop;
    EventBus bus(loop);
    DebugLog log{QString()};
    ActivityEngine engine(loop, bus, log);
    QStringList started;
    engine.registerProvider(std::make_unique<RecordingProvider>("Now Playing", started));
    engine.registerProvider(std::make_unique<RecordingProvider>("Battery", started));
    engine.registerProvider(std::make_unique<RecordingProvider>("Battery", started));
    EXPECT_TRUE(started.isEmpty());
    engine.start();
    EXPECT_EQ(started, (QStringList{"Now Playing", "Battery", "Battery"}));
    bus.post(ActivityStarted{make("a", ActivityPriority::normal, at(10, 0))});
    loop.runUntilIdle();
    EXPECT_EQ(engine.activities.get().size(), 1u);
}
