#pragma once

#include "ui/kit/Node.h"

#include <QImage>
#include <QPainter>

#include <vector>

namespace korvo::ui {

/// An interactive node's on-screen rectangle (logical pixels, after offsets and scales).
struct HitRegion {
    QRectF rect;
    const Node* node;
};

/// Paints a laid-out tree.
void paint(const Node& root, QPainter& painter);

/// The interactive nodes of a laid-out tree, in painting order (the last one is on top).
std::vector<HitRegion> collectHits(const Node& root);

/// Lays out `root` in `size` and paints it into a transparent image at `scale` device pixels
/// per point.
QImage renderToImage(Node& root, QSizeF size, double scale);

/// The topmost region at `point` whose node has the handler `want` checks for.
const HitRegion* hitTest(const std::vector<HitRegion>& hits, QPointF point,
                         bool (*want)(const Node&));

/// The bounding box of the pixels whose alpha exceeds `threshold`, in device pixels.
QRect opaqueBounds(const QImage& image, int threshold = 8);

}  // namespace korvo::ui
