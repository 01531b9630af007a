#pragma once

#include "activities/Activity.h"

#include <QByteArray>

namespace korvo {

/// The largest side of a decoded cover, in pixels: the views draw covers at most about 100
/// points wide at scale 2, so anything larger only costs memory.
inline constexpr int kArtworkMaxSide = 256;

/// Decodes image bytes, scaled down to fit `kArtworkMaxSide`; null when they are not an image.
/// Safe off the main thread.
SharedImage decodeArtwork(const QByteArray& bytes);

}  // namespace korvo
