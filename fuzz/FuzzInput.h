#pragma once

// Splits one fuzz input into fields, so a target can hand several texts to one call.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace korvo::fuzz {

/// The input as text; invalid UTF-8 becomes replacement characters, as it would from a pipe.
inline QString text(const std::uint8_t* data, std::size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

/// The input cut at NUL bytes, padded with empty fields up to `count`.
inline QList<QByteArray> fields(const std::uint8_t* data, std::size_t size, int count) {
    QList<QByteArray> parts = bytes(data, size).split('\0');
    while (parts.size() < count) {
        parts.append(QByteArray());
    }
    return parts;
}

}  // namespace korvo::fuzz
