#include "ui/style/Theme.h"

#include "fakes/PlainPreferences.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

QImage filled(QColor c, QImage::Format format = QImage::Format_RGB32) {
    QImage img(8, 6, format);
    img.fill(c);
    return img;
}

}  // namespace

TEST(ThemeAccent, AveragesTheArtworkThenBoostsSaturationAndLiftsBrightness) {
    QImage halves = filled(Qt::red);
    QPainter(&halves).fillRect(0, 3, 8, 3, Qt::blue);
    struct Case {
        const char* what;
        QImage image;
        float h, s, b;
    };
    const Case cases[] = {
        {"pure red", filled(Qt::red), 0, 1, 1},
        {"black", filled(Qt::black), 0, 0, 0.72F},
        {"red over blue: dark purple", halves, 300 / 360.0F, 1, 0.72F},
        {"pale red: saturation ×1.25", filled(QColor(200, 150, 150)), 0, 0.3125F, 200 / 255.0F},
        // Premultiplied averaging: transparency darkens.
        {"half-clear white", filled(QColor(255, 255, 255, 128), QImage::Format_ARGB32), 0, 0,
         0.72F},
        {"mostly opaque red", filled(QColor(255, 0, 0, 230), QImage::Format_ARGB32), 0, 1,
         230 / 255.0F},
    };
    for (const auto& c : cases) {
        float h = 0, s = 0, b = 0, a = 0;
        Theme::accent(&c.image).getHsvF(&h, &s, &b, &a);
        EXPECT_NEAR(std::max(h, 0.0F), c.h, 1e-3) << c.what;
        EXPECT_NEAR(s, c.s, 1e-3) << c.what;
        EXPECT_NEAR(b, c.b, 1e-4) << c.what;
        EXPECT_EQ(a, 1) << c.what;
    }
}

TEST(ThemeAccent, WithoutArtworkTheAccentIsWhite) {
    EXPECT_EQ(Theme::accent(nullptr), QColor(Qt::white));
    const QImage none;
    EXPECT_EQ(Theme::accent(&none), QColor(Qt::white));
}

TEST(ThemeElementBackground, OnlyTheGradientStyleShadesTheElements) {
    test::PlainViewPreferences settings;
    const ElementFill flat = Theme::elementBackground(settings);
    EXPECT_FALSE(flat.isGradient);
    settings.style = "gradient";  // read at every call
    EXPECT_TRUE(Theme::elementBackground(settings).isGradient);
    settings.style = "neon";  // unknown: as black
    EXPECT_EQ(Theme::elementBackground(settings), flat);
}
