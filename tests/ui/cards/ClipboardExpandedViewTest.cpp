#include "ui/cards/ClipboardExpandedView.h"

#include "ui/cards/CardScene.h"
#include "ui/kit/Painter.h"
#include "ui/style/Palette.h"

using namespace korvo;
using namespace korvo::ui;
using korvo::cardtest::CardScene;
using korvo::cardtest::Tree;

namespace {

ClipboardEntry entry(const QString& text, const QDateTime& date) {
    return {QUuid::createUuid(), text, date};
}

Tree card(CardScene& s) {
    return s.frame([](const auto& c) { return clipboardExpandedView(c); }, {390, 108});
}

QString rowId(const ClipboardEntry& e) {
    return "clipboard.row." + e.id.toString(QUuid::WithoutBraces);
}

}  // namespace

TEST(ClipboardCard, AgesAndRowTexts) {
    const QDateTime now = QDateTime(QDate(2026, 3, 4), QTime(10, 0));
    EXPECT_EQ(relativeAge(now.addSecs(-59), now), "now");
    EXPECT_EQ(relativeAge(now.addSecs(-61), now), "1m");
    EXPECT_EQ(relativeAge(now.addSecs(-59 * 60), now), "59m");
    EXPECT_EQ(relativeAge(now.addSecs(-(3 * 3600 + 50 * 60)), now), "3h");
    EXPECT_EQ(relativeAge(now.addDays(-2), now), "48h");

    EXPECT_EQ(clipboardRowText(QString(60, 'x')), QString(52, 'x') + "…");
    EXPECT_EQ(clipboardRowText(QString(52, 'y')), QString(52, 'y'));
    EXPECT_EQ(clipboardRowText("two\nlines"), "two lines");
    // An emoji counts as one character and is never cut in half.
    EXPECT_EQ(clipboardRowText(QString(51, 'z') + "🎉🎉"), QString(51, 'z') + "🎉…");
}

TEST(ClipboardCard, ClickCopiesAgainAndOnlyTheLatestRowIsMarkedForItsOwnTime) {
    CardScene s;
    const ClipboardEntry a = entry("alpha", s.now().addSecs(-30));
    const ClipboardEntry b = entry("beta", s.now().addSecs(-600));
    s.history = {a, b};
    Tree t = card(s);
    EXPECT_TRUE(t.draws("now"));
    EXPECT_TRUE(t.draws("10m"));

    t.click(rowId(a));
    s.loop.advance(0.5);
    card(s).click(rowId(b));
    EXPECT_EQ(s.copied, (QList<QUuid>{a.id, b.id}));
    t = card(s);
    EXPECT_EQ(t.count("Copied!"), 1);
    EXPECT_EQ(t.glyph("Copied!")->color, palette::cyan());
    EXPECT_TRUE(t.draws("now"));  // A shows its age again
    s.loop.advance(0.8);          // A's 1.2 s are over, B's are not
    EXPECT_TRUE(card(s).draws("Copied!"));
    s.loop.advance(0.45);
    EXPECT_FALSE(card(s).draws("Copied!"));
}

TEST(ClipboardCard, EmptyHistoryKeepsTheListHeight) {
    CardScene s;
    const Tree empty = card(s);
    EXPECT_TRUE(empty.draws("Nothing copied yet"));
    s.history = {entry("x", s.now())};
    const Tree one = card(s);
    EXPECT_FALSE(one.draws("Nothing copied yet"));
    EXPECT_EQ(empty.frame("clipboard.list").height(), one.frame("clipboard.list").height());
}

TEST(ClipboardCard, ADesktopThatKeepsItsClipboardToItselfIsNamedInsteadOfAnEmptyList) {
    CardScene s;
    bool shared = false;
    s.services.clipboard.available = [&shared] { return shared; };
    const QString line = "This desktop doesn't share its clipboard with Korvo";
    Tree t = card(s);
    ASSERT_TRUE(t.draws(line));  // whole, on one line, inside the card
    EXPECT_FALSE(t.draws("Nothing copied yet"));
    EXPECT_LE(t.glyph(line)->frame.right(), t.view.node()->frame.right());
    shared = true;
    t = card(s);
    EXPECT_TRUE(t.draws("Nothing copied yet"));
    EXPECT_FALSE(t.draws(line));
}

TEST(ClipboardCard, ListScrollsWithinItsBoundsAndHiddenRowsTakeNoClicks) {
    CardScene s;
    for (int i = 0; i < 6; ++i) {
        s.history.push_back(entry(QString("copy %1").arg(i), s.now()));
    }
    auto scrolled = [](const Tree& t) {
        return -t.inside(Node::Kind::offset, "clipboard.list").front()->offset.y();
    };
    auto clickable = [&](const Tree& t, int i) {
        const auto hits = collectHits(*t.view.node());
        return std::any_of(hits.begin(), hits.end(),
                           [&](const auto& h) { return h.node->id == rowId(s.history[i]); });
    };
    auto scroll = [&](double dy) {
        card(s).byId("clipboard.list")->onScroll(0, dy);
        return card(s);
    };
    Tree t = s.settled([](const auto& c) { return clipboardExpandedView(c); }, {390, 108});
    EXPECT_EQ(scrolled(t), 0);
    EXPECT_TRUE(clickable(t, 2));
    EXPECT_FALSE(clickable(t, 3));  // starts 96 down, below the visible 92 points

    t = scroll(-40);  // a swipe up moves the list up
    EXPECT_EQ(scrolled(t), 40);
    EXPECT_TRUE(clickable(t, 3));
    t = scroll(-500);
    EXPECT_EQ(scrolled(t), 6 * 28 + 5 * 4 - 92);  // the last row rests on the bottom edge
    EXPECT_FALSE(clickable(t, 0));
    EXPECT_EQ(scrolled(scroll(1000)), 0);
    scroll(-500);
    s.history.resize(4);  // a shorter history pulls the list back within its bounds
    EXPECT_EQ(scrolled(card(s)), 4 * 28 + 3 * 4 - 92);
}
