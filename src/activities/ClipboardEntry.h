#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

namespace korvo {

/// One remembered copy: the clipboard service keeps them newest first, the clipboard card lists
/// them and hands one back to be copied again.
struct ClipboardEntry {
    QUuid id;
    QString text;
    QDateTime date;

    bool operator==(const ClipboardEntry& other) const = default;
};

}  // namespace korvo
