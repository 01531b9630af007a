#include "Reuse.h"

#include "ui/kit/Layout.h"

#include <cmath>

namespace korvo::ui {

namespace {

bool sameOutline(const Outline& a, const Outline& b) {
    return a.type == b.type && a.radii.topLeft == b.radii.topLeft &&
           a.radii.topRight == b.radii.topRight && a.radii.bottomRight == b.radii.bottomRight &&
           a.radii.bottomLeft == b.radii.bottomLeft && a.continuous == b.continuous &&
           a.points == b.points;
}

// Everything of a node's own that layout or painting reads; its children are compared apart.
bool sameOwnLook(const Node& a, const Node& b) {
    return a.kind == b.kind && a.children.size() == b.children.size() && a.id == b.id &&
           a.spacing == b.spacing && a.alignment.h == b.alignment.h &&
           a.alignment.v == b.alignment.v && a.minLength == b.minLength && a.text == b.text &&
           a.font.size == b.font.size && a.font.weight == b.font.weight &&
           a.font.monospacedDigits == b.font.monospacedDigits && a.color == b.color &&
           a.lineLimit == b.lineLimit && a.minimumScaleFactor == b.minimumScaleFactor &&
           a.textAlignment == b.textAlignment && a.image == b.image &&
           sameOutline(a.shape, b.shape) && a.fill.color == b.fill.color &&
           a.fill.end == b.fill.end && a.lineWidth == b.lineWidth && a.width == b.width &&
           a.height == b.height && a.minWidth == b.minWidth && a.maxWidth == b.maxWidth &&
           a.minHeight == b.minHeight && a.maxHeight == b.maxHeight &&
           a.widthFraction == b.widthFraction && a.insets == b.insets && a.opacity == b.opacity &&
           a.offset == b.offset && a.scale == b.scale && a.turn == b.turn && a.radius == b.radius &&
           a.shadowColor == b.shadowColor && a.compositeGroup == b.compositeGroup &&
           static_cast<bool>(a.rebuild) == static_cast<bool>(b.rebuild);
}

bool isPiece(const Node& n, const QSet<QString>& ids) {
    return n.kind == Node::Kind::interactive && n.rebuild && !n.children.empty() &&
           ids.contains(n.id);
}

// Lays a piece's content out in the rectangle its piece had, if it takes exactly that room.
bool placeWhereItWas(Node& content, const QRectF& rect) {
    const QSizeF size = measure(content, {rect.width(), rect.height()});
    if (std::abs(size.width() - rect.width()) > 1e-6 ||
        std::abs(size.height() - rect.height()) > 1e-6) {
        return false;
    }
    place(content, rect);
    return true;
}

bool adopt(Node& fresh, const Node& drawn, const QSet<QString>& pieces) {
    if (!sameOwnLook(fresh, drawn)) {
        return false;
    }
    fresh.frame = drawn.frame;
    if (isPiece(fresh, pieces)) {
        return placeWhereItWas(*fresh.children.front(), fresh.frame);
    }
    for (std::size_t i = 0; i < fresh.children.size(); ++i) {
        if (!fresh.children[i] || !drawn.children[i]) {
            if (fresh.children[i] != drawn.children[i]) {
                return false;
            }
            continue;
        }
        if (!adopt(*fresh.children[i], *drawn.children[i], pieces)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<Node*> piecesIn(Node& root, const QSet<QString>& ids) {
    std::vector<Node*> found;
    if (isPiece(root, ids)) {
        found.push_back(&root);
        return found;
    }
    for (const auto& c : root.children) {
        if (c) {
            const auto inside = piecesIn(*c, ids);
            found.insert(found.end(), inside.begin(), inside.end());
        }
    }
    return found;
}

bool rebuildPiece(Node& piece) {
    if (!piece.rebuild || piece.children.empty()) {
        return false;
    }
    NodePtr content = piece.rebuild();
    if (!content || !placeWhereItWas(*content, piece.frame)) {
        return false;
    }
    piece.children.front() = std::move(content);
    return true;
}

bool adoptLayout(Node& fresh, const Node& drawn, const QSet<QString>& pieces) {
    return adopt(fresh, drawn, pieces);
}

}  // namespace korvo::ui
