// Every expanded card of the snapshot tour, laid out as the island draws it: its rows and the
// island's own header and page dots never overlap, and none spills out of the island.
#include "app/SnapshotTour.h"

#include "ui/kit/Layout.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace korvo;
using namespace korvo::ui;

namespace {

struct Row {
    QString what;
    QRectF frame;
};

// The card's rows: the children of the first vertical stack it is made of (a card of one row
// has none but itself).
std::vector<const Node*> rowsOf(const Node& n) {
    if (n.kind == Node::Kind::vstack) {
        std::vector<const Node*> out;
        for (const auto& c : n.children) {
            out.push_back(c.get());
        }
        return out;
    }
    if (n.children.size() == 1) {
        return rowsOf(*n.children.front());
    }
    return {&n};
}

}  // namespace

TEST(SnapshotLayout, TheRowsOfEveryExpandedCardStayApartAndInsideTheIsland) {
    int cards = 0;
    walkSnapshotLayouts([&](const QString& name, const View& root) {
        if (!name.startsWith(QLatin1String("expanded-"))) {
            return;
        }
        const Node* island = findById(*root.node(), QStringLiteral("island"));
        const Node* card = findById(*root.node(), QStringLiteral("expanded.card"));
        ASSERT_TRUE(island && card) << name.toStdString();
        ++cards;
        std::vector<Row> rows;
        if (const Node* header = findById(*root.node(), QStringLiteral("island.header"))) {
            rows.push_back({QStringLiteral("header"), header->frame});
        }
        if (const Node* dots = findById(*root.node(), QStringLiteral("island.dots"))) {
            rows.push_back({QStringLiteral("page dots"), dots->frame});
        }
        const auto cardRows = rowsOf(*card);
        for (std::size_t i = 0; i < cardRows.size(); ++i) {
            const QRectF f = cardRows[i]->frame;
            if (f.width() > 0 && f.height() > 0) {
                rows.push_back({QStringLiteral("row %1").arg(i), f});
            }
        }
        ASSERT_GE(rows.size(), 2u) << name.toStdString();
        const QRectF inside = island->frame.adjusted(-0.5, -0.5, 0.5, 0.5);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(inside.contains(rows[i].frame))
                << name.toStdString() << ": " << rows[i].what.toStdString() << " spills out";
            for (std::size_t j = i + 1; j < rows.size(); ++j) {
                const QRectF both = rows[i].frame.intersected(rows[j].frame);
                EXPECT_TRUE(both.width() < 0.5 || both.height() < 0.5)
                    << name.toStdString() << ": " << rows[i].what.toStdString() << " and "
                    << rows[j].what.toStdString() << " overlap";
            }
        }
    });
    EXPECT_GE(cards, 10);
}

// The window matches a press with its release by name, across frames: every node that takes a
// click or a drag in every scene of the tour has a name, and no other node in its tree has it.
TEST(SnapshotLayout, EveryClickableNodeHasANameOfItsOwn) {
    int clickable = 0;
    walkSnapshotLayouts([&](const QString& name, const View& root) {
        std::map<QString, int> named;
        std::function<void(const Node&)> visit = [&](const Node& n) {
            if (n.onClick || n.onDrag) {
                ++clickable;
                EXPECT_FALSE(n.id.isEmpty()) << name.toStdString() << ": an unnamed button";
                ++named[n.id];
            }
            for (const auto& c : n.children) {
                if (c) {
                    visit(*c);
                }
            }
        };
        visit(*root.node());
        for (const auto& [id, count] : named) {
            EXPECT_EQ(count, 1) << name.toStdString() << ": " << id.toStdString() << " twice";
        }
    });
    EXPECT_GE(clickable, 20);
}
