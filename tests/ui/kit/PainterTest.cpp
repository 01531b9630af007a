#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"
#include "ui/kit/Shapes.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/View.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace korvo::ui;

TEST(KitPainter, ShapeFillsExactlyItsFrameAtEveryScale) {
    for (double scale : {1.0, 2.0}) {
        View v =
            shape(Outline::rounded(CornerRadii::bottom(18)), Fill::solid(Qt::black)).frame(276, 32);
        View root = vstack(0, HAlign::center, {v, spacer()}).frame(700, 320);
        const QImage img = renderToImage(*root.node(), {700, 320}, scale);
        EXPECT_EQ(img.size(), QSize(700 * scale, 320 * scale));
        const QRect b = opaqueBounds(img);
        EXPECT_EQ(b, QRect(212 * scale, 0, 276 * scale, 32 * scale)) << scale;
        // Square top corners, rounded bottom corners.
        EXPECT_GT(qAlpha(img.pixel(212 * scale, 0)), 200);
        EXPECT_LT(qAlpha(img.pixel(212 * scale, 32 * scale - 1)), 60);
    }
}

TEST(KitPainter, ContinuousCornersStartEarlierThanCircularOnes) {
    const QRectF r(0, 0, 100, 100);
    const auto continuous = shapePath(Outline::rounded(CornerRadii::all(20), true), r);
    const auto circular = shapePath(Outline::rounded(CornerRadii::all(20), false), r);
    // The continuous corner begins bending further from the corner, so it cuts away more of
    // the corner square than a circular arc of the same radius, yet leaves the edges straight.
    auto removed = [](const QPainterPath& p) {
        int outside = 0;
        for (double y = 0.25; y < 30; y += 0.5) {
            for (double x = 0.25; x < 30; x += 0.5) {
                outside += p.contains(QPointF(x, y)) ? 0 : 1;
            }
        }
        return outside * 0.25;
    };
    EXPECT_NEAR(removed(circular), 400 * (1 - 3.14159265 / 4), 4.0);
    EXPECT_GT(removed(continuous), removed(circular) + 5);
    EXPECT_TRUE(continuous.contains(QPointF(50, 0.5)));
    EXPECT_TRUE(continuous.contains(QPointF(0.5, 50)));
}

TEST(KitPainter, OpacityShadowAndGradientShowInPixels) {
    View v = rectangle(Fill::verticalGradient(QColor(255, 255, 255, 255), QColor(255, 255, 255, 0)))
                 .frame(10, 100);
    const QImage img = renderToImage(*v.node(), {10, 100}, 1);
    EXPECT_GT(qAlpha(img.pixel(5, 2)), qAlpha(img.pixel(5, 97)) + 200);

    View faded = rectangle(Fill::solid(Qt::white)).frame(10, 10).opacity(0.5);
    const QImage f = renderToImage(*faded.node(), {10, 10}, 1);
    EXPECT_NEAR(qAlpha(f.pixel(5, 5)), 128, 2);

    View shadowed = rectangle(Fill::solid(Qt::black))
                        .frame(40, 20)
                        .shadow(QColor(0, 0, 0, 90), 8, 0, 4)
                        .padding(20);
    const QImage s = renderToImage(*shadowed.node(), {80, 60}, 2);
    EXPECT_GT(qAlpha(s.pixel(80, 2 * 44)), 5);  // shade below the box
    EXPECT_LT(qAlpha(s.pixel(80, 2 * 44)), 90);
    EXPECT_EQ(qAlpha(s.pixel(80, 60)), 255);  // the box itself stays opaque
}

TEST(KitPainter, HitRegionsFollowOffsetsAndScalesAndSkipInvisibleContent) {
    int clicks = 0;
    View button = rectangle(Fill::solid(Qt::white)).frame(20, 20).onClick([&] { ++clicks; });
    View root = zstack(Alignment::topLeading(),
                       {button.offset(30, 10),
                        rectangle(Fill::solid(Qt::red)).frame(5, 5).onClick([] {}).opacity(0)})
                    .frame(100, 100, Alignment::topLeading());
    layout(*root.node(), {100, 100});
    const auto hits = collectHits(*root.node());
    auto clickable = [](const Node& n) { return static_cast<bool>(n.onClick); };
    const HitRegion* h = hitTest(hits, {35, 15}, clickable);
    ASSERT_NE(h, nullptr);
    h->node->onClick();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(hitTest(hits, {5, 5}, clickable), nullptr);  // moved away; the other is invisible
    EXPECT_EQ(hitTest(hits, {2, 2}, clickable), nullptr);

    View scaled = rectangle(Fill::solid(Qt::white)).frame(20, 20).onHover([](bool) {}).scale(2);
    layout(*scaled.node(), {20, 20});
    const auto sh = collectHits(*scaled.node());
    ASSERT_EQ(sh.size(), 1u);
    EXPECT_EQ(sh[0].rect, QRectF(-10, -10, 40, 40));
}

TEST(KitPainter, SymbolsAreTintedAndUnknownNamesDrawNothing) {
    View v = symbol("bolt.fill", {24, Weight::semibold}, QColor(0, 255, 0));
    const QImage img = renderToImage(*v.node(), {24, 24}, 2);
    const QRect b = opaqueBounds(img);
    ASSERT_FALSE(b.isEmpty());
    const QColor c = img.pixelColor(b.center());
    EXPECT_EQ(c.red(), 0);
    EXPECT_GT(c.green(), 200);

    View unknown = symbol("no.such.symbol", {24}, Qt::white);
    EXPECT_TRUE(opaqueBounds(renderToImage(*unknown.node(), {24, 24}, 1)).isEmpty());
}

TEST(KitSymbols, EveryNameUsedInTheSourcesIsInTheTable) {
    // Names passed to symbol(...) or listed as icons anywhere in the program.
    const QRegularExpression use(QStringLiteral(
        R"re((?:symbol|icon|Symbol)\w*\s*\(\s*(?:QStringLiteral\()?"([a-z0-9.]+)")re"));
    QDirIterator it(QStringLiteral(KORVO_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    int checked = 0;
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString source = QString::fromUtf8(f.readAll());
        for (auto m = use.globalMatch(source); m.hasNext();) {
            const QString name = m.next().captured(1);
            EXPECT_TRUE(Symbols::fileFor(name))
                << name.toStdString() << " in " << f.fileName().toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

// A partial repaint gives the same pixels as a full one: inside a rounded clip, where the clip
// is skipped, and across its corner, where it must still cut.
TEST(KitPainter, PartialRepaintsMatchFullOnesInsideAndAcrossAClip) {
    View content = rectangle(Fill::solid(Qt::white)).frame(200, 100);
    View root = content.clip(Outline::rounded(CornerRadii::all(30))).frame(200, 100);
    layout(*root.node(), {200, 100});
    QImage full(200, 100, QImage::Format_ARGB32_Premultiplied);
    full.fill(Qt::transparent);
    {
        QPainter p(&full);
        paint(*root.node(), p);
    }
    for (const QRect dirty : {QRect(80, 40, 20, 20), QRect(0, 0, 20, 20)}) {
        QImage part(200, 100, QImage::Format_ARGB32_Premultiplied);
        part.fill(Qt::transparent);
        {
            QPainter p(&part);
            p.setClipRect(dirty);
            paint(*root.node(), p);
        }
        const QRect inside = dirty.intersected(full.rect());
        EXPECT_EQ(part.copy(inside), full.copy(inside)) << dirty.x() << "," << dirty.y();
    }
    EXPECT_EQ(qAlpha(full.pixel(1, 1)), 0);  // the corner really is cut
}

// An island-like body (an opaque backdrop under a clip of its own outline) casts its shade from
// its outline alone, from a kept shade while its size holds, and blends it only around itself:
// the pixels must match those of the same body drawn the long way, whatever size came before.
TEST(KitPainter, TheShadeOfAnOpaqueBodyMatchesTheShadeOfItsWholeContent) {
    auto island = [](double w, double h, bool longWay) {
        const Outline outline = Outline::rounded(CornerRadii::bottom(24));
        View body = zstack(Alignment::center(), {shape(outline, Fill::solid(Qt::black)),
                                                 text("Inside", {13}, Qt::white).padding(30)})
                        .frame(w, h)
                        .clip(outline)
                        .compositingGroup();
        if (longWay) {
            body = body.offset(0, 0);  // no longer recognised as a plain body
        }
        return vstack(0, HAlign::center, {body.shadow(QColor(0, 0, 0, 90), 18, 0, 4), spacer()})
            .frame(400, 200, Alignment::top());
    };
    auto largestDifference = [](const QImage& a, const QImage& b) {
        int most = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                most = std::max({most, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                                 std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            }
        }
        return most;
    };
    for (const double scale : {1.0, 2.0}) {
        for (const QSizeF size : {QSizeF(200, 80), QSizeF(260, 110), QSizeF(200, 80)}) {
            View quick = island(size.width(), size.height(), false);
            View longWay = island(size.width(), size.height(), true);
            const QImage a = renderToImage(*quick.node(), {400, 200}, scale);
            const QImage b = renderToImage(*longWay.node(), {400, 200}, scale);
            EXPECT_LE(largestDifference(a, b), 1) << scale << " " << size.width();
            // The shade shows below the body, and the body stays opaque.
            const int below = static_cast<int>((size.height() + 6) * scale);
            EXPECT_GT(qAlpha(a.pixel(static_cast<int>(200 * scale), below)), 5);
            EXPECT_EQ(qAlpha(a.pixel(static_cast<int>(200 * scale), 2)), 255);
        }
    }
}
