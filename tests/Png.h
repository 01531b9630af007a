#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace korvo::test {

// A picture of one colour, as the bytes of a PNG file.
inline QByteArray png(int width, int height, QColor colour = Qt::red) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace korvo::test
