#pragma once

#include <QString>
#include <QStringList>

namespace korvo {

/// Renders every presentation of the island from a scripted world on a virtual clock and
/// writes one PNG per presentation into `directory`. Needs no display and no devices.
/// Returns the files written (empty on failure).
QStringList writeSnapshotTour(const QString& directory, double scale);

}  // namespace korvo
