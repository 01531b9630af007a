#include "ArtworkImage.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace korvo {

SharedImage decodeArtwork(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return nullptr;
    }
    QByteArray copy = bytes;  // QBuffer wants a mutable array; the copy is shallow
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > kArtworkMaxSide || full.height() > kArtworkMaxSide)) {
        // Formats that can decode at a smaller size (JPEG) skip most of the work this way.
        reader.setScaledSize(full.scaled(kArtworkMaxSide, kArtworkMaxSide, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return nullptr;
    }
    if (image.width() > kArtworkMaxSide || image.height() > kArtworkMaxSide) {
        image = image.scaled(kArtworkMaxSide, kArtworkMaxSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    }
    return std::make_shared<const QImage>(
        image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

}  // namespace korvo
