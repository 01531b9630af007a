#include "View.h"

#include <algorithm>

namespace korvo::ui {

namespace {

thread_local std::uint64_t t_nodesMade = 0;

NodePtr makeNode(Node::Kind kind) {
    ++t_nodesMade;
    auto n = std::make_shared<Node>();
    n->kind = kind;
    return n;
}

View stack(Node::Kind kind, double spacing, Alignment alignment, Views children) {
    auto n = makeNode(kind);
    n->spacing = spacing;
    n->alignment = alignment;
    n->children.reserve(children.size());
    for (auto& c : children) {
        if (c.node()) {
            n->children.push_back(c.node());
        }
    }
    return View(n);
}

}  // namespace

View::View() : m_node(makeNode(Node::Kind::empty)) {}

View View::wrap(Node::Kind kind) const {
    auto n = makeNode(kind);
    n->children.push_back(m_node);
    return View(n);
}

View View::copyLeaf() const {
    ++t_nodesMade;
    auto n = std::make_shared<Node>(*m_node);
    return View(n);
}

View View::frame(std::optional<double> width, std::optional<double> height,
                 Alignment alignment) const {
    View v = wrap(Node::Kind::frame);
    v.m_node->width = width;
    v.m_node->height = height;
    v.m_node->alignment = alignment;
    return v;
}

View View::flexibleFrame(std::optional<double> minWidth, std::optional<double> maxWidth,
                         std::optional<double> minHeight, std::optional<double> maxHeight,
                         Alignment alignment) const {
    View v = wrap(Node::Kind::frame);
    v.m_node->minWidth = minWidth;
    v.m_node->maxWidth = maxWidth;
    v.m_node->minHeight = minHeight;
    v.m_node->maxHeight = maxHeight;
    v.m_node->alignment = alignment;
    return v;
}

View View::relativeWidth(double fraction, Alignment alignment) const {
    View v = wrap(Node::Kind::frame);
    v.m_node->widthFraction = std::clamp(fraction, 0.0, 1.0);
    v.m_node->alignment = alignment;
    return v;
}

View View::padding(double left, double top, double right, double bottom) const {
    View v = wrap(Node::Kind::padding);
    v.m_node->insets = QMarginsF(left, top, right, bottom);
    return v;
}

View View::background(const View& behind, Alignment a) const {
    View v = wrap(Node::Kind::background);
    v.m_node->children.push_back(behind.node());
    v.m_node->alignment = a;
    return v;
}

View View::overlay(const View& above, Alignment a) const {
    View v = wrap(Node::Kind::overlay);
    v.m_node->children.push_back(above.node());
    v.m_node->alignment = a;
    return v;
}

View View::clip(Outline s) const {
    View v = wrap(Node::Kind::clip);
    v.m_node->shape = s;
    return v;
}

View View::opacity(double alpha) const {
    View v = wrap(Node::Kind::opacity);
    v.m_node->opacity = alpha;
    return v;
}

View View::offset(double dx, double dy) const {
    View v = wrap(Node::Kind::offset);
    v.m_node->offset = QPointF(dx, dy);
    return v;
}

View View::scale(double s) const {
    View v = wrap(Node::Kind::scale);
    v.m_node->scale = s;
    return v;
}

View View::turn(double radians) const {
    View v = wrap(Node::Kind::scale);
    v.m_node->turn = radians;
    return v;
}

View View::shadow(QColor color, double radius, double dx, double dy) const {
    View v = wrap(Node::Kind::shadow);
    v.m_node->shadowColor = color;
    v.m_node->radius = radius;
    v.m_node->offset = QPointF(dx, dy);
    return v;
}

View View::blur(double radius) const {
    View v = wrap(Node::Kind::blur);
    v.m_node->radius = radius;
    return v;
}

View View::compositingGroup() const {
    View v = wrap(Node::Kind::opacity);
    v.m_node->compositeGroup = true;
    return v;
}

View View::lineLimit(int lines) const {
    View v = copyLeaf();
    v.m_node->lineLimit = lines;
    return v;
}

View View::minimumScaleFactor(double f) const {
    View v = copyLeaf();
    v.m_node->minimumScaleFactor = f;
    return v;
}

View View::textAlign(HAlign a) const {
    View v = copyLeaf();
    v.m_node->textAlignment = a;
    return v;
}

View View::foreground(QColor c) const {
    View v = copyLeaf();
    v.m_node->color = c;
    return v;
}

// Handlers chained onto one view share one interactive node, so hover, click and identity
// belong to the same region.
View View::interactive() const {
    if (m_node->kind == Node::Kind::interactive) {
        ++t_nodesMade;
        return View(std::make_shared<Node>(*m_node));
    }
    return wrap(Node::Kind::interactive);
}

View View::id(const QString& identity) const {
    View v = interactive();
    v.m_node->id = identity;
    return v;
}

View View::onHover(std::function<void(bool)> fn) const {
    View v = interactive();
    v.m_node->onHover = std::move(fn);
    return v;
}

View View::onClick(std::function<void()> fn) const {
    View v = interactive();
    v.m_node->onClick = std::move(fn);
    return v;
}

View View::onDrag(std::function<void(QPointF, DragPhase)> fn) const {
    View v = interactive();
    v.m_node->onDrag = std::move(fn);
    return v;
}

View View::onScroll(std::function<void(double, double)> fn) const {
    View v = interactive();
    v.m_node->onScroll = std::move(fn);
    return v;
}

View View::accessibility(AccessibleInfo info) const {
    View v = copyLeaf();
    v.m_node->accessible = std::make_shared<const AccessibleInfo>(std::move(info));
    return v;
}

View View::accessibilityLabel(const QString& name, AccessibleRole role) const {
    AccessibleInfo info;
    info.role = role;
    info.name = name;
    return accessibility(std::move(info));
}

View View::accessibilityHidden() const {
    static const auto hidden = std::make_shared<const AccessibleInfo>(
        AccessibleInfo{AccessibleRole::hidden, {}, {}, 0, 0, 0, 0, {}, {}});
    View v = copyLeaf();
    v.m_node->accessible = hidden;
    return v;
}

View empty() {
    return View();
}

View piece(const QString& identity, std::function<View()> body) {
    View v = body().id(identity);
    v.node()->rebuild = [body = std::move(body)] { return body().node(); };
    return v;
}

std::uint64_t nodesMade() {
    return t_nodesMade;
}

View hstack(double spacing, VAlign alignment, Views children) {
    return stack(Node::Kind::hstack, spacing, Alignment{HAlign::center, alignment},
                 std::move(children));
}

View vstack(double spacing, HAlign alignment, Views children) {
    return stack(Node::Kind::vstack, spacing, Alignment{alignment, VAlign::center},
                 std::move(children));
}

View zstack(Alignment alignment, Views children) {
    return stack(Node::Kind::zstack, 0, alignment, std::move(children));
}

View spacer(double minLength) {
    auto n = makeNode(Node::Kind::spacer);
    n->minLength = minLength;
    return View(n);
}

View text(const QString& string, Font font, QColor color) {
    auto n = makeNode(Node::Kind::text);
    n->text = string;
    n->font = font;
    n->color = color;
    return View(n);
}

View symbol(const QString& name, Font font, QColor color) {
    auto n = makeNode(Node::Kind::symbol);
    n->text = name;
    n->font = font;
    n->color = color;
    return View(n);
}

View image(std::shared_ptr<const QImage> img) {
    auto n = makeNode(Node::Kind::image);
    n->image = std::move(img);
    return View(n);
}

View shape(Outline style, Fill fill) {
    auto n = makeNode(Node::Kind::shape);
    n->shape = style;
    n->fill = fill;
    return View(n);
}

View stroke(Outline style, Fill fill, double width) {
    View v = shape(std::move(style), fill);
    v.node()->lineWidth = width;
    return v;
}

}  // namespace korvo::ui
