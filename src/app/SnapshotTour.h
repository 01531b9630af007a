#pragma once

#include "ui/kit/View.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

namespace korvo {

/// Renders every presentation of the island from a scripted world on a virtual clock and
/// writes one PNG per presentation into `directory`. Needs no display and no devices.
/// Returns the files written (empty on failure).
QStringList writeSnapshotTour(const QString& directory, double scale);

/// Renders the island as it stands: one frame's build, layout and paint, at a scale.
using SnapshotRender = std::function<QImage(double scale)>;

/// Walks the same tour without writing anything: shows each presentation in turn and calls
/// `visit` with its name while the island shows it.
void walkSnapshotTour(const std::function<void(const QString& name, const SnapshotRender&)>& visit);

/// The same tour, laid out instead of painted: `visit` gets each presentation's whole panel
/// tree, its frames placed in points on the 700 × 320 canvas.
void walkSnapshotLayouts(
    const std::function<void(const QString& name, const ui::View& root)>& visit);

}  // namespace korvo
