#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace korvo {

/// The system's general clipboard. Main thread only.
class Pasteboard {
public:
    /// The type name of plain text.
    static constexpr const char* kPlainText = "text/plain";
    /// Markers by which password managers and clipboard tools flag content that must not be
    /// recorded (concealed) or that is only passing through (transient).
    static constexpr const char* kConcealedType = "org.nspasteboard.ConcealedType";
    static constexpr const char* kTransientType = "org.nspasteboard.TransientType";

    virtual ~Pasteboard() = default;

    /// Rises on every change of the contents, by this program or any other.
    virtual std::int64_t changeCount() const = 0;
    /// The type names on offer; none when the platform cannot tell.
    virtual std::optional<QStringList> types() const = 0;
    /// The contents as plain text, when there is any.
    virtual std::optional<QString> string() const = 0;
    /// Whether `string()` is only the head of a longer text, which a backend that caps what it
    /// transfers did not take in whole.
    virtual bool stringIsCut() const { return false; }
    /// Whether an image can be read from the contents.
    virtual bool canReadImage() const = 0;
    /// Empties the pasteboard and announces the types about to be set.
    virtual void declareTypes(const QStringList& types) = 0;
    /// Sets the data of one declared type.
    virtual void setString(const QString& value, const QString& type) = 0;
    /// False where the desktop does not share its clipboard with this program at all, so
    /// nothing copied will ever show.
    virtual bool isAvailable() const { return true; }
};

}  // namespace korvo
