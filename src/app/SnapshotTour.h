#pragma once

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

}  // namespace korvo
