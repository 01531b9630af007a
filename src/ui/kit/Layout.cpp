#include "Layout.h"

#include <QFontMetricsF>
#include <QHash>

#include <functional>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace korvo::ui {

namespace {

enum class Axis { none, horizontal, vertical };

QSizeF measureIn(Node& node, Proposal p, Axis parentAxis);

bool isStackChild(const NodePtr& n) {
    return n && n->kind != Node::Kind::empty;
}

std::vector<Node*> stackChildren(Node& node) {
    std::vector<Node*> out;
    for (auto& c : node.children) {
        if (isStackChild(c)) {
            out.push_back(c.get());
        }
    }
    return out;
}

double clampTo(double v, std::optional<double> lo, std::optional<double> hi) {
    if (hi) {
        v = std::min(v, *hi);
    }
    if (lo) {
        v = std::max(v, *lo);
    }
    return v;
}

// Sizes of a stack's children for a proposal: the least flexible child is offered its share of
// what is left first, so text keeps its width and spacers take the rest.
std::vector<QSizeF> stackSizes(Node& node, Proposal p, bool horizontal) {
    const auto kids = stackChildren(node);
    std::vector<QSizeF> sizes(kids.size());
    if (kids.empty()) {
        return sizes;
    }
    const Axis axis = horizontal ? Axis::horizontal : Axis::vertical;
    const auto along = horizontal ? p.width : p.height;
    auto proposalAlong = [&](double v) {
        return horizontal ? Proposal{v, p.height} : Proposal{p.width, v};
    };
    auto extent = [&](QSizeF s) { return horizontal ? s.width() : s.height(); };
    if (!along) {
        for (std::size_t i = 0; i < kids.size(); ++i) {
            sizes[i] = measureIn(*kids[i], p, axis);
        }
        return sizes;
    }
    std::vector<double> flexibility(kids.size());
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const double lo = extent(measureIn(*kids[i], proposalAlong(0), axis));
        const double hi = extent(measureIn(*kids[i], proposalAlong(kInfinity), axis));
        flexibility[i] = hi - lo;
    }
    // Spacers go last and only after reserving their minimum, so text beside a spacer keeps
    // all the room it can use.
    std::vector<std::size_t> order;
    std::vector<std::size_t> spacers;
    double reserved = 0;
    for (std::size_t i = 0; i < kids.size(); ++i) {
        if (kids[i]->kind == Node::Kind::spacer) {
            spacers.push_back(i);
            reserved += kids[i]->minLength;
        } else {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return flexibility[a] < flexibility[b]; });
    double remaining = *along - node.spacing * static_cast<double>(kids.size() - 1) - reserved;
    std::size_t left = order.size();
    for (std::size_t i : order) {
        const double share = std::max(0.0, remaining / static_cast<double>(left));
        sizes[i] = measureIn(*kids[i], proposalAlong(share), axis);
        remaining -= extent(sizes[i]);
        --left;
    }
    remaining += reserved;
    left = spacers.size();
    for (std::size_t i : spacers) {
        const double share = std::max(0.0, remaining / static_cast<double>(left));
        sizes[i] = measureIn(*kids[i], proposalAlong(share), axis);
        remaining -= extent(sizes[i]);
        --left;
    }
    return sizes;
}

QSizeF stackSize(const std::vector<QSizeF>& sizes, double spacing, bool horizontal) {
    double along = 0;
    double across = 0;
    for (const auto& s : sizes) {
        along += horizontal ? s.width() : s.height();
        across = std::max(across, horizontal ? s.height() : s.width());
    }
    if (!sizes.empty()) {
        along += spacing * static_cast<double>(sizes.size() - 1);
    }
    return horizontal ? QSizeF(along, across) : QSizeF(across, along);
}

struct TextKey {
    QString text;  // empty for a font's line height
    int pixelSize = 0;
    int weight = 0;
    double wrapWidth = -1;  // the width a wrapped text was measured in; -1 for one line
    bool operator==(const TextKey&) const = default;
};

size_t qHash(const TextKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.pixelSize, key.weight, key.wrapWidth);
}

// Shaping a text is the costliest step of a layout; a frame asks for the same few dozen texts,
// in the same widths, as the last one. Fonts here differ only in size and weight (see qtFont).
QSizeF remembered(const TextKey& key, const std::function<QSizeF()>& measure) {
    constexpr qsizetype kMaxEntries = 2048;
    thread_local QHash<TextKey, QSizeF> cache;
    if (const auto it = cache.constFind(key); it != cache.constEnd()) {
        return *it;
    }
    if (cache.size() >= kMaxEntries) {
        cache.clear();
    }
    const QSizeF value = measure();
    cache.insert(key, value);
    return value;
}

double lineHeight(const QFont& f) {
    return remembered({QString(), f.pixelSize(), f.weight()},
                      [&] {
                          QFontMetricsF fm(f);
                          return QSizeF(0, std::ceil(fm.ascent() + fm.descent()));
                      })
        .height();
}

QSizeF measureText(const Node& node, Proposal p) {
    const QFont base = qtFont(node.font);
    const double ideal = std::ceil(textAdvance(node.text, base));
    const bool oneLine = node.lineLimit && *node.lineLimit == 1;
    if (!p.width || ideal <= *p.width || oneLine) {
        const double w = p.width ? std::min(ideal, *p.width) : ideal;
        const double scale = p.width ? textScale(node, *p.width) : 1.0;
        return {w, lineHeight(qtFont(node.font, scale))};
    }
    // Wrap within the offered width.
    const QSizeF box = remembered({node.text, base.pixelSize(), base.weight(), *p.width}, [&] {
        const QFontMetricsF fm(base);
        return fm
            .boundingRect(QRectF(0, 0, *p.width, 1e6), Qt::TextWordWrap | Qt::AlignLeft, node.text)
            .size();
    });
    double h = std::ceil(box.height());
    if (node.lineLimit) {
        h = std::min(h, lineHeight(base) * *node.lineLimit);
    }
    return {std::min(*p.width, std::ceil(box.width())), h};
}

QSizeF measureUncached(Node& node, Proposal p, Axis parentAxis) {
    using K = Node::Kind;
    switch (node.kind) {
        case K::empty:
            return {0, 0};
        case K::spacer: {
            auto flexible = [&](std::optional<double> v) {
                return v ? std::max(*v, node.minLength) : node.minLength;
            };
            if (parentAxis == Axis::horizontal) {
                return {flexible(p.width), 0};
            }
            if (parentAxis == Axis::vertical) {
                return {0, flexible(p.height)};
            }
            return {p.width.value_or(0), p.height.value_or(0)};
        }
        case K::hstack:
            return stackSize(stackSizes(node, p, true), node.spacing, true);
        case K::vstack:
            return stackSize(stackSizes(node, p, false), node.spacing, false);
        case K::zstack: {
            QSizeF out(0, 0);
            for (auto& c : node.children) {
                const QSizeF s = measureIn(*c, p, Axis::none);
                out = out.expandedTo(s);
            }
            return out;
        }
        case K::text:
            return measureText(node, p);
        case K::symbol:
            return {node.font.size, node.font.size};
        case K::image:
        case K::shape: {
            const double w = p.width ? *p.width : (node.image ? node.image->width() : 10.0);
            const double h = p.height ? *p.height : (node.image ? node.image->height() : 10.0);
            return {w, h};
        }
        case K::frame: {
            auto childProposal = [](std::optional<double> fixed, std::optional<double> lo,
                                    std::optional<double> hi, std::optional<double> offered) {
                if (fixed) {
                    return std::optional<double>(*fixed);
                }
                if (offered && (lo || hi)) {
                    return std::optional<double>(clampTo(*offered, lo, hi));
                }
                return offered;
            };
            std::optional<double> fixedWidth = node.width;
            if (node.widthFraction && p.width) {
                fixedWidth = *p.width * *node.widthFraction;
            }
            const Proposal cp{childProposal(fixedWidth, node.minWidth, node.maxWidth, p.width),
                              childProposal(node.height, node.minHeight, node.maxHeight, p.height)};
            const QSizeF child = measureIn(*node.child(), cp, Axis::none);
            auto resolve = [](std::optional<double> fixed, std::optional<double> lo,
                              std::optional<double> hi, std::optional<double> offered,
                              double childSize) {
                if (fixed) {
                    return *fixed;
                }
                // Bounded on both sides, a frame is the room it is offered: content too big
                // for it overflows by its alignment instead of pushing its parents apart.
                if (lo && hi && offered) {
                    return clampTo(*offered, lo, hi);
                }
                double r = childSize;
                if (hi && offered) {
                    r = std::max(r, std::min(*offered, *hi));
                }
                return clampTo(r, lo, hi);
            };
            return {resolve(fixedWidth, node.minWidth, node.maxWidth, p.width, child.width()),
                    resolve(node.height, node.minHeight, node.maxHeight, p.height, child.height())};
        }
        case K::padding: {
            const auto& m = node.insets;
            auto shrink = [](std::optional<double> v, double by) {
                return v ? std::optional<double>(std::max(0.0, *v - by)) : std::nullopt;
            };
            const QSizeF child = measureIn(
                *node.child(),
                {shrink(p.width, m.left() + m.right()), shrink(p.height, m.top() + m.bottom())},
                Axis::none);
            return {child.width() + m.left() + m.right(), child.height() + m.top() + m.bottom()};
        }
        case K::background:
        case K::overlay:
        case K::clip:
        case K::opacity:
        case K::offset:
        case K::scale:
        case K::shadow:
        case K::blur:
        case K::interactive:
            return measureIn(*node.child(), p, parentAxis);
    }
    return {0, 0};
}

QSizeF measureIn(Node& node, Proposal p, Axis parentAxis) {
    // Spacers depend on the parent's axis; everything else only on the proposal.
    const bool memo = node.kind != Node::Kind::spacer && node.kind != Node::Kind::interactive;
    if (memo) {
        for (const auto& m : node.measured) {
            if (m.w == p.width && m.h == p.height) {
                return m.size;
            }
        }
    }
    const QSizeF s = measureUncached(node, p, parentAxis);
    if (memo) {
        node.measured.push_back({p.width, p.height, s});
    }
    return s;
}

void placeIn(Node& node, const QRectF& rect, Axis parentAxis);

void placeStack(Node& node, const QRectF& rect, bool horizontal) {
    const auto kids = stackChildren(node);
    const auto sizes = stackSizes(node, {rect.width(), rect.height()}, horizontal);
    const QSizeF total = stackSize(sizes, node.spacing, horizontal);
    const QRectF content = aligned(total, rect, Alignment::center());
    double pos = horizontal ? content.left() : content.top();
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const QSizeF s = sizes[i];
        QRectF r;
        if (horizontal) {
            double y = content.top();
            if (node.alignment.v == VAlign::center) {
                y += (content.height() - s.height()) / 2;
            } else if (node.alignment.v == VAlign::bottom) {
                y += content.height() - s.height();
            }
            r = QRectF(pos, y, s.width(), s.height());
            pos += s.width() + node.spacing;
        } else {
            double x = content.left();
            if (node.alignment.h == HAlign::center) {
                x += (content.width() - s.width()) / 2;
            } else if (node.alignment.h == HAlign::trailing) {
                x += content.width() - s.width();
            }
            r = QRectF(x, pos, s.width(), s.height());
            pos += s.height() + node.spacing;
        }
        placeIn(*kids[i], r, horizontal ? Axis::horizontal : Axis::vertical);
    }
}

void placeIn(Node& node, const QRectF& rect, Axis parentAxis) {
    using K = Node::Kind;
    node.frame = rect;
    switch (node.kind) {
        case K::hstack:
            placeStack(node, rect, true);
            break;
        case K::vstack:
            placeStack(node, rect, false);
            break;
        case K::zstack:
            for (auto& c : node.children) {
                const QSizeF s = measureIn(*c, {rect.width(), rect.height()}, Axis::none);
                placeIn(*c, aligned(s, rect, node.alignment), Axis::none);
            }
            break;
        case K::frame: {
            auto childProposal = [](std::optional<double> fixed, std::optional<double> lo,
                                    std::optional<double> hi, double offered) {
                if (fixed) {
                    return *fixed;
                }
                return (lo || hi) ? clampTo(offered, lo, hi) : offered;
            };
            const Proposal cp{
                childProposal(node.width, node.minWidth, node.maxWidth, rect.width()),
                childProposal(node.height, node.minHeight, node.maxHeight, rect.height())};
            const QSizeF s = measureIn(*node.child(), cp, Axis::none);
            placeIn(*node.child(), aligned(s, rect, node.alignment), Axis::none);
            break;
        }
        case K::padding:
            placeIn(*node.child(), rect.marginsRemoved(node.insets), Axis::none);
            break;
        case K::background:
        case K::overlay: {
            placeIn(*node.children[0], rect, parentAxis);
            const QSizeF s =
                measureIn(*node.children[1], {rect.width(), rect.height()}, Axis::none);
            placeIn(*node.children[1], aligned(s, rect, node.alignment), Axis::none);
            break;
        }
        case K::clip:
        case K::opacity:
        case K::offset:
        case K::scale:
        case K::shadow:
        case K::blur:
        case K::interactive:
            placeIn(*node.child(), rect, parentAxis);
            break;
        case K::empty:
        case K::spacer:
        case K::text:
        case K::symbol:
        case K::image:
        case K::shape:
            break;
    }
}

}  // namespace

QFont qtFont(const Font& font, double scale) {
    // A font made afresh finds its font engine again on first use; one kept per size and weight
    // keeps the engine it found, and a frame asks for the same handful.
    const int pixelSize = std::max(1, static_cast<int>(std::lround(font.size * scale)));
    const int weight = static_cast<int>(font.weight);
    constexpr qsizetype kMaxFonts = 256;
    thread_local QHash<quint64, QFont> fonts;
    const quint64 key = (static_cast<quint64>(pixelSize) << 32) | static_cast<quint32>(weight);
    if (const auto it = fonts.constFind(key); it != fonts.constEnd()) {
        return *it;
    }
    if (fonts.size() >= kMaxFonts) {
        fonts.clear();
    }
    QFont f(QStringLiteral("Inter"));
    f.setPixelSize(pixelSize);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setHintingPreference(QFont::PreferNoHinting);
    return *fonts.insert(key, f);
}

double textAdvance(const QString& text, const QFont& font) {
    if (text.isEmpty()) {
        return 0;
    }
    return remembered({text, font.pixelSize(), font.weight()},
                      [&] { return QSizeF(QFontMetricsF(font).horizontalAdvance(text), 0); })
        .width();
}

double textScale(const Node& node, double availableWidth) {
    if (node.minimumScaleFactor >= 1 || availableWidth <= 0) {
        return 1.0;
    }
    const double ideal = textAdvance(node.text, qtFont(node.font));
    if (ideal <= availableWidth) {
        return 1.0;
    }
    return std::max(node.minimumScaleFactor, availableWidth / ideal);
}

QRectF aligned(QSizeF size, const QRectF& rect, Alignment alignment) {
    double x = rect.left();
    double y = rect.top();
    if (alignment.h == HAlign::center) {
        x += (rect.width() - size.width()) / 2;
    } else if (alignment.h == HAlign::trailing) {
        x += rect.width() - size.width();
    }
    if (alignment.v == VAlign::center) {
        y += (rect.height() - size.height()) / 2;
    } else if (alignment.v == VAlign::bottom) {
        y += rect.height() - size.height();
    }
    return {x, y, size.width(), size.height()};
}

QSizeF measure(Node& node, Proposal proposal) {
    return measureIn(node, proposal, Axis::none);
}

void place(Node& node, const QRectF& rect) {
    placeIn(node, rect, Axis::none);
}

void layout(Node& root, QSizeF size) {
    const QSizeF s = measure(root, {size.width(), size.height()});
    place(root, aligned(s, QRectF(QPointF(0, 0), size), Alignment::top()));
}

const Node* findById(const Node& root, const QString& identity) {
    if (root.kind == Node::Kind::interactive && root.id == identity) {
        return &root;
    }
    for (const auto& c : root.children) {
        if (const Node* found = c ? findById(*c, identity) : nullptr) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace korvo::ui
