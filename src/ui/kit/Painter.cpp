#include "Painter.h"

#include "ui/kit/Layout.h"
#include "ui/kit/Shapes.h"
#include "ui/kit/Symbols.h"

#include <QFontMetricsF>
#include <QHash>
#include <QLinearGradient>
#include <QRegion>
#include <QStaticText>
#include <QTextOption>
#include <QtMath>

#include <cmath>
#include <vector>

namespace korvo::ui {

namespace {

struct Context {
    QPainter& p;
    // Painting the source of a shade, whose colours are thrown away: only coverage matters.
    bool silhouette = false;
};

void paintNode(const Node& node, Context& ctx);

QBrush brushFor(const Fill& fill, const QRectF& rect) {
    if (!fill.end) {
        return QBrush(fill.color);
    }
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, fill.color);
    g.setColorAt(1, *fill.end);
    return QBrush(g);
}

// Approximates a Gaussian blur of radius r by shrinking the image; the caller draws the small
// result stretched back with smooth filtering. Cheap enough for the island's shadows per frame.
QImage blurredSmall(const QImage& src, double radiusPx) {
    if (radiusPx < 1) {
        return src;
    }
    const double factor = std::clamp(2.0 / radiusPx, 0.04, 1.0);
    const QSize small(std::max(1, static_cast<int>(src.width() * factor)),
                      std::max(1, static_cast<int>(src.height() * factor)));
    QImage down = src.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // One more halving and back softens the box edges of the first step.
    return down
        .scaled(std::max(1, small.width() / 2), std::max(1, small.height() / 2),
                Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Paints the node's subtree into a layer of the node's frame grown by `margin` points, at the
// painter's resolution times `resolution`.
QImage renderLayer(const Node& node, Context& ctx, double margin, QRectF* layerRect,
                   double resolution = 1.0, bool silhouette = false) {
    const QRectF rect = node.frame.adjusted(-margin, -margin, margin, margin);
    *layerRect = rect;
    const QTransform world = ctx.p.worldTransform();
    const double sx = std::hypot(world.m11(), world.m12()) * resolution;
    const QSize px(std::max(1, static_cast<int>(std::ceil(rect.width() * sx))),
                   std::max(1, static_cast<int>(std::ceil(rect.height() * sx))));
    QImage layer(px, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter lp(&layer);
    lp.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                      QPainter::TextAntialiasing);
    lp.scale(sx, sx);
    lp.translate(-rect.topLeft());
    Context inner{lp, silhouette || ctx.silhouette};
    paintNode(node, inner);
    lp.end();
    return layer;
}

struct LineKey {
    QString text;
    int pixelSize = 0;
    int weight = 0;
    int deviceScale = 0;  // hundredths
    bool operator==(const LineKey&) const = default;
};

size_t qHash(const LineKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.pixelSize, key.weight, key.deviceScale);
}

// Lines laid out for drawing, per text, font and device scale; bounded, per thread.
const QStaticText& laidOutLine(const QString& text, const QFont& font, double deviceScale) {
    constexpr qsizetype kMaxLines = 1024;
    thread_local QHash<LineKey, QStaticText> lines;
    const LineKey key{text, font.pixelSize(), font.weight(),
                      static_cast<int>(std::lround(deviceScale * 100))};
    if (const auto it = lines.constFind(key); it != lines.constEnd()) {
        return *it;
    }
    if (lines.size() >= kMaxLines) {
        lines.clear();
    }
    QStaticText line(text);
    line.setTextFormat(Qt::PlainText);
    line.prepare(QTransform::fromScale(deviceScale, deviceScale), font);
    return *lines.insert(key, line);
}

void paintText(const Node& node, Context& ctx) {
    const double scale = textScale(node, node.frame.width());
    const QFont font = qtFont(node.font, scale);
    ctx.p.setFont(font);
    ctx.p.setPen(node.color);
    QFontMetricsF fm(font);
    Qt::Alignment h = node.textAlignment == HAlign::center     ? Qt::AlignHCenter
                      : node.textAlignment == HAlign::trailing ? Qt::AlignRight
                                                               : Qt::AlignLeft;
    const bool oneLine = node.lineLimit && *node.lineLimit == 1;
    const double advance = textAdvance(node.text, font);
    if (advance <= node.frame.width() + 0.5) {
        // A line that fits is laid out once and kept: shaping it again every frame costs more
        // than drawing it.
        const QTransform world = ctx.p.worldTransform();
        const QRectF box = node.frame.adjusted(-1, 0, 1, 0);
        const double x = h == Qt::AlignHCenter ? box.center().x() - advance / 2
                         : h == Qt::AlignRight ? box.right() - advance
                                               : box.left();
        const double y = box.center().y() - (fm.ascent() + fm.descent()) / 2;
        ctx.p.drawStaticText(QPointF(x, y),
                             laidOutLine(node.text, font, std::hypot(world.m11(), world.m12())));
        return;
    }
    if (oneLine) {
        const QString shown = fm.elidedText(node.text, Qt::ElideRight, node.frame.width() + 0.5);
        ctx.p.drawText(node.frame.adjusted(-1, 0, 1, 0), h | Qt::AlignVCenter, shown);
        return;
    }
    ctx.p.drawText(node.frame, h | Qt::AlignTop | Qt::TextWordWrap, node.text);
}

void paintSymbol(const Node& node, Context& ctx) {
    const QTransform world = ctx.p.worldTransform();
    const double sx = std::hypot(world.m11(), world.m12());
    // Icons are drawn a little inside their box so they read at the weight of the text beside.
    const double size = node.font.size * 0.92;
    const QImage img = Symbols::render(node.text, size, node.color, sx);
    if (img.isNull()) {
        return;
    }
    const QRectF target(node.frame.center().x() - size / 2, node.frame.center().y() - size / 2,
                        size, size);
    ctx.p.drawImage(target, img);
}

void paintImage(const Node& node, Context& ctx) {
    if (!node.image || node.image->isNull() || node.frame.isEmpty()) {
        return;
    }
    // Fill the frame, cropping the longer side.
    const QSizeF src = node.image->size();
    const double scale =
        std::max(node.frame.width() / src.width(), node.frame.height() / src.height());
    const QSizeF visible(node.frame.width() / scale, node.frame.height() / scale);
    const QRectF source((src.width() - visible.width()) / 2, (src.height() - visible.height()) / 2,
                        visible.width(), visible.height());
    ctx.p.drawImage(node.frame, *node.image, source);
}

bool sameOutline(const Outline& a, const Outline& b) {
    return a.type == b.type && a.continuous == b.continuous && a.points == b.points &&
           a.radii.topLeft == b.radii.topLeft && a.radii.topRight == b.radii.topRight &&
           a.radii.bottomRight == b.radii.bottomRight && a.radii.bottomLeft == b.radii.bottomLeft;
}

// The opaque shape of the clip's own outline that its content is drawn on, if it has one (the
// island's black body): then nothing else inside the clip changes what is covered.
const Node* opaqueBackdrop(const Node& clip) {
    using K = Node::Kind;
    const Node* n = clip.child().get();
    while (n) {
        switch (n->kind) {
            case K::frame:
            case K::overlay:
            case K::zstack:
            case K::interactive:
                n = n->children.empty() ? nullptr : n->children.front().get();
                continue;
            case K::opacity:
                if (n->opacity < 1) {
                    return nullptr;
                }
                n = n->child().get();
                continue;
            case K::shape: {
                const bool opaque =
                    !n->fill.end && n->fill.color.alpha() == 255 && n->lineWidth <= 0;
                return opaque && n->frame == clip.frame && sameOutline(n->shape, clip.shape)
                           ? n
                           : nullptr;
            }
            default:
                return nullptr;
        }
    }
    return nullptr;
}

// Where `node` covers everything beneath it with opaque paint, in rectangles of the root's
// coordinates: the inside of a body that is an opaque backdrop under a clip of its own outline,
// away from its rounded corners. None when that is not how the subtree is made.
std::vector<QRectF> opaqueInside(const Node& node) {
    using K = Node::Kind;
    const Node* n = &node;
    while (n->kind != K::clip) {
        const bool passes = n->kind == K::shadow || n->kind == K::interactive ||
                            (n->kind == K::opacity && n->opacity >= 1);
        if (!passes || n->children.empty()) {
            return {};
        }
        n = n->child().get();
    }
    if (!opaqueBackdrop(*n)) {
        return {};
    }
    const QRectF f = n->frame;
    const Outline& o = n->shape;
    if (o.type != Outline::Type::rectangle && o.type != Outline::Type::roundedRectangle) {
        return {};
    }
    // Each corner's bend stays within a square of this side (the path is checked below).
    const double limit = std::min(f.width(), f.height()) / 2;
    auto reach = [&](double radius) {
        return o.type == Outline::Type::rectangle ? 0.0 : std::min(limit, radius * 1.5);
    };
    const double tl = reach(o.radii.topLeft);
    const double tr = reach(o.radii.topRight);
    const double br = reach(o.radii.bottomRight);
    const double bl = reach(o.radii.bottomLeft);
    const double top = f.top() + std::max(tl, tr);
    const double bottom = f.bottom() - std::max(bl, br);
    const std::vector<QRectF> slabs = {
        QRectF(QPointF(f.left() + tl, f.top()), QPointF(f.right() - tr, top)),
        QRectF(QPointF(f.left(), top), QPointF(f.right(), bottom)),
        QRectF(QPointF(f.left() + bl, bottom), QPointF(f.right() - br, f.bottom())),
    };
    const QPainterPath outline = shapePath(o, f);
    std::vector<QRectF> inside;
    for (const QRectF& slab : slabs) {
        // Half a point in from the outline: a rectangle touching it does not count as inside.
        const QRectF r = slab.adjusted(0.5, 0.5, -0.5, -0.5);
        if (r.isValid() && !r.isEmpty() && outline.contains(r)) {
            inside.push_back(r);
        }
    }
    return inside;
}

// Draws `image` into `target`, leaving out the device pixels wholly inside `hidden`, which what
// is painted next covers: only the rest is blended (the same pixels as a whole draw there).
void drawAround(QPainter& p, const QRectF& target, const QImage& image,
                const std::vector<QRectF>& hidden) {
    const QTransform world = p.worldTransform();
    if (hidden.empty() || world.type() > QTransform::TxScale) {
        p.drawImage(target, image);
        return;
    }
    QRegion around(world.mapRect(target).toAlignedRect());
    for (const QRectF& r : hidden) {
        // Whole device pixels, one more in, so no pixel the cover only partly hides is left out.
        const QRectF d = world.mapRect(r);
        const QRect in(QPoint(static_cast<int>(std::ceil(d.left())) + 1,
                              static_cast<int>(std::ceil(d.top())) + 1),
                       QPoint(static_cast<int>(std::floor(d.right())) - 2,
                              static_cast<int>(std::floor(d.bottom())) - 2));
        if (in.isValid()) {
            around -= in;
        }
    }
    const QTransform back = world.inverted();
    for (const QRect& piece : around) {
        p.save();
        p.setClipRect(back.mapRect(QRectF(piece)), Qt::IntersectClip);
        p.drawImage(target, image);
        p.restore();
    }
}

// The shade of a shadow node: its content painted small, where a blur of this radius loses
// nothing, blurred the rest of the way there and coloured.
QImage makeShade(const Node& node, Context& ctx, double margin, double shrink) {
    QRectF rect;
    const QImage small = renderLayer(*node.child(), ctx, margin, &rect, shrink, true);
    QImage shade = small
                       .scaled(std::max(1, small.width() / 2), std::max(1, small.height() / 2),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter sp(&shade);
    sp.setCompositionMode(QPainter::CompositionMode_SourceIn);
    sp.fillRect(shade.rect(), node.shadowColor);
    return shade;
}

// What makes a shade whose source is nothing but an opaque body (see `plainBody`).
struct ShadeKey {
    Outline::Type type;
    CornerRadii radii;
    bool continuous;
    QRectF body;  // relative to the shadowed content's frame
    QSizeF size;  // of that frame
    double margin;
    double scale;  // device pixels of the small rendering per point
    QRgb colour;

    bool operator==(const ShadeKey& o) const {
        return type == o.type && radii.topLeft == o.radii.topLeft &&
               radii.topRight == o.radii.topRight && radii.bottomRight == o.radii.bottomRight &&
               radii.bottomLeft == o.radii.bottomLeft && continuous == o.continuous &&
               body == o.body && size == o.size && margin == o.margin && scale == o.scale &&
               colour == o.colour;
    }
};

// The body under a shadow when the shade's source is nothing but it: an opaque backdrop under a
// clip of its own outline, reached through groups at full opacity.
const Node* plainBody(const Node& content) {
    using K = Node::Kind;
    const Node* n = &content;
    while ((n->kind == K::opacity && n->opacity >= 1) || n->kind == K::interactive) {
        n = n->child().get();
    }
    return n->kind == K::clip && opaqueBackdrop(*n) ? n : nullptr;
}

QImage shadeOf(const Node& node, Context& ctx, double margin) {
    const QTransform world = ctx.p.worldTransform();
    const double deviceScale = std::hypot(world.m11(), world.m12());
    const double radiusPx = node.radius * deviceScale / 2;
    const double shrink = std::clamp(2.0 / std::max(radiusPx, 1.0), 0.04, 1.0);
    const Node& content = *node.child();
    const Node* body = plainBody(content);
    if (!body) {
        return makeShade(node, ctx, margin, shrink);
    }
    // A settled island casts the same shade frame after frame: keep the last few.
    const ShadeKey key{body->shape.type,       body->shape.radii,
                       body->shape.continuous, body->frame.translated(-content.frame.topLeft()),
                       content.frame.size(),   margin,
                       deviceScale * shrink,   node.shadowColor.rgba()};
    constexpr std::size_t kMaxShades = 4;
    thread_local std::vector<std::pair<ShadeKey, QImage>> shades;
    for (const auto& [k, shade] : shades) {
        if (k == key) {
            return shade;
        }
    }
    if (shades.size() >= kMaxShades) {
        shades.erase(shades.begin());
    }
    shades.emplace_back(key, makeShade(node, ctx, margin, shrink));
    return shades.back().second;
}

// Partial repaints (the bars alone) clip the painter; leaves outside the clip are skipped.
bool outsideClip(const Node& node, const QPainter& p) {
    return p.hasClipping() && !node.frame.intersects(p.clipBoundingRect());
}

void paintNode(const Node& node, Context& ctx) {
    using K = Node::Kind;
    QPainter& p = ctx.p;
    const bool leaf = node.kind == K::text || node.kind == K::symbol || node.kind == K::image ||
                      node.kind == K::shape;
    if (leaf && outsideClip(node, p)) {
        return;
    }
    switch (node.kind) {
        case K::empty:
        case K::spacer:
            return;
        case K::hstack:
        case K::vstack:
        case K::zstack:
            for (const auto& c : node.children) {
                paintNode(*c, ctx);
            }
            return;
        case K::text:
            paintText(node, ctx);
            return;
        case K::symbol:
            paintSymbol(node, ctx);
            return;
        case K::image:
            paintImage(node, ctx);
            return;
        case K::shape:
            if (!node.fill.isVisible()) {
                return;
            }
            if (node.lineWidth <= 0 && p.hasClipping() &&
                shapeCovers(node.shape, node.frame, p.clipBoundingRect())) {
                // A partial repaint inside the shape: filling what is repainted is the same
                // and spares rasterising the whole outline for a few pixels.
                p.fillRect(p.clipBoundingRect(), brushFor(node.fill, node.frame));
                return;
            }
            if (node.lineWidth > 0) {
                p.strokePath(shapePath(node.shape, node.frame),
                             QPen(brushFor(node.fill, node.frame), node.lineWidth, Qt::SolidLine,
                                  Qt::RoundCap, Qt::RoundJoin));
            } else {
                p.fillPath(shapePath(node.shape, node.frame), brushFor(node.fill, node.frame));
            }
            return;
        case K::frame:
        case K::padding:
            paintNode(*node.child(), ctx);
            return;
        case K::background:
            paintNode(*node.children[1], ctx);
            paintNode(*node.children[0], ctx);
            return;
        case K::overlay:
            paintNode(*node.children[0], ctx);
            paintNode(*node.children[1], ctx);
            return;
        case K::clip: {
            if (p.hasClipping()) {
                // A partial repaint away from the shape's edge needs no clip of its own: setting
                // one costs more than the rest of such a frame.
                const QRectF dirty = p.clipBoundingRect();
                if (!node.frame.intersects(dirty)) {
                    return;
                }
                if (shapeCovers(node.shape, node.frame, dirty)) {
                    paintNode(*node.child(), ctx);
                    return;
                }
            }
            p.save();
            p.setClipPath(shapePath(node.shape, node.frame), Qt::IntersectClip);
            if (const Node* backdrop = ctx.silhouette ? opaqueBackdrop(node) : nullptr) {
                // A shade's source needs only the backdrop: what is drawn on it covers no more.
                paintNode(*backdrop, ctx);
            } else {
                paintNode(*node.child(), ctx);
            }
            p.restore();
            return;
        }
        case K::opacity: {
            if (node.opacity <= 0.001 && !node.compositeGroup) {
                return;
            }
            if (node.opacity < 1) {
                // Group opacity: overlapping children must not show through one another.
                QRectF rect;
                const QImage layer = renderLayer(*node.child(), ctx, 0, &rect);
                p.save();
                p.setOpacity(p.opacity() * node.opacity);
                p.drawImage(rect, layer);
                p.restore();
                return;
            }
            // A group at full opacity looks the same drawn directly.
            paintNode(*node.child(), ctx);
            return;
        }
        case K::offset:
            if (node.offset.isNull()) {
                paintNode(*node.child(), ctx);
                return;
            }
            p.save();
            p.translate(node.offset);
            paintNode(*node.child(), ctx);
            p.restore();
            return;
        case K::scale: {
            if (node.scale == 1 && node.turn == 0) {
                paintNode(*node.child(), ctx);
                return;
            }
            p.save();
            const QPointF c = node.frame.center();
            p.translate(c);
            if (node.turn != 0) {
                QTransform turn;
                turn.rotate(qRadiansToDegrees(node.turn), Qt::YAxis);
                p.setTransform(turn, true);
            }
            p.scale(node.scale, node.scale);
            p.translate(-c);
            paintNode(*node.child(), ctx);
            p.restore();
            return;
        }
        case K::shadow: {
            // A repaint inside the content never shows the shade around it.
            const bool insideOnly = p.hasClipping() && node.frame.contains(p.clipBoundingRect());
            if (node.shadowColor.alpha() == 0 || insideOnly) {
                paintNode(*node.child(), ctx);
                return;
            }
            const double margin =
                node.radius * 2 + std::abs(node.offset.x()) + std::abs(node.offset.y());
            const QRectF rect = node.child()->frame.adjusted(-margin, -margin, margin, margin);
            const QImage shade = shadeOf(node, ctx, margin);
            // Most of the shade lies under an opaque body: blend only what shows around it.
            drawAround(p, rect.translated(node.offset), shade, opaqueInside(*node.child()));
            paintNode(*node.child(), ctx);
            return;
        }
        case K::blur: {
            if (node.radius < 0.5) {
                paintNode(*node.child(), ctx);
                return;
            }
            QRectF rect;
            const QImage layer = renderLayer(*node.child(), ctx, node.radius * 2, &rect);
            const double sx = layer.width() / std::max(1.0, rect.width());
            p.drawImage(rect, blurredSmall(layer, node.radius * sx));
            return;
        }
        case K::interactive:
            paintNode(*node.child(), ctx);
            return;
    }
}

}  // namespace

void paint(const Node& root, QPainter& painter) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    Context ctx{painter};
    paintNode(root, ctx);
}

namespace {

const QRectF kEverywhere(-1e9, -1e9, 2e9, 2e9);

// `clip` bounds what can be hit: content scrolled out of a clipped view takes no pointer.
void collect(const Node& node, const QTransform& t, const QRectF& clip,
             std::vector<HitRegion>& hits) {
    using K = Node::Kind;
    QTransform inner = t;
    QRectF innerClip = clip;
    switch (node.kind) {
        case K::clip:
            innerClip = clip.intersected(t.mapRect(node.frame));
            break;
        case K::opacity:
            if (node.opacity <= 0.001) {
                return;  // invisible content is inert
            }
            break;
        case K::offset:
            inner = QTransform::fromTranslate(node.offset.x(), node.offset.y()) * t;
            break;
        case K::scale: {
            const QPointF c = node.frame.center();
            inner = QTransform::fromTranslate(-c.x(), -c.y()) *
                    QTransform::fromScale(node.scale, node.scale) *
                    QTransform::fromTranslate(c.x(), c.y()) * t;
            break;
        }
        case K::interactive:
            if (node.onHover || node.onClick || node.onDrag || node.onScroll ||
                !node.id.isEmpty()) {
                const QRectF rect = t.mapRect(node.frame).intersected(clip);
                if (!rect.isEmpty() || clip == kEverywhere) {
                    hits.push_back({clip == kEverywhere ? t.mapRect(node.frame) : rect, &node});
                }
            }
            break;
        default:
            break;
    }
    if (node.kind == K::background && node.children.size() == 2) {
        collect(*node.children[1], inner, innerClip, hits);
        collect(*node.children[0], inner, innerClip, hits);
        return;
    }
    for (const auto& c : node.children) {
        collect(*c, inner, innerClip, hits);
    }
}

}  // namespace

std::vector<HitRegion> collectHits(const Node& root) {
    std::vector<HitRegion> hits;
    collect(root, QTransform(), kEverywhere, hits);
    return hits;
}

QImage renderToImage(Node& root, QSizeF size, double scale) {
    layout(root, size);
    QImage img(static_cast<int>(std::ceil(size.width() * scale)),
               static_cast<int>(std::ceil(size.height() * scale)),
               QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(scale, scale);
    paint(root, p);
    p.end();
    img.setDevicePixelRatio(scale);
    return img;
}

const HitRegion* hitTest(const std::vector<HitRegion>& hits, QPointF point,
                         bool (*want)(const Node&)) {
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        if (it->rect.contains(point) && want(*it->node)) {
            return &*it;
        }
    }
    return nullptr;
}

QRect opaqueBounds(const QImage& image, int threshold) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int left = img.width();
    int right = -1;
    int top = img.height();
    int bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(row[x]) > threshold) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace korvo::ui
