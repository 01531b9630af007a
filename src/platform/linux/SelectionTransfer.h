#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace korvo {

/// What one selection transfer needs from an X connection, so that the transfer rules can run
/// against a scripted connection in tests. Every call is made on the thread that reads.
class SelectionLink {
public:
    using Atom = std::uint32_t;
    static constexpr Atom kNone = 0;

    /// What `wait` saw.
    enum class Event {
        /// The owner answered the conversion and put the data on our property.
        converted,
        /// The owner refused the conversion.
        refused,
        /// A new value was written to our property (an INCR chunk).
        newValue,
        /// The selection changed hands; whatever is being read is out of date.
        ownerChanged,
        /// Nothing arrived before the deadline.
        timeout,
        /// The reader is shutting down, or the connection is lost.
        stop,
    };

    struct Property {
        Atom type = kNone;  ///< kNone when the property does not exist
        int format = 0;
        QByteArray bytes;
        /// Bytes left on the property after those returned.
        std::int64_t bytesAfter = 0;
    };

    virtual ~SelectionLink() = default;

    virtual Atom atom(const char* name) = 0;
    /// The names of `atoms`, in order; an empty name for an atom the server does not know.
    virtual std::vector<QByteArray> atomNames(const std::vector<Atom>& atoms) = 0;
    /// Seconds on a monotonic clock.
    virtual double now() const = 0;

    /// Asks the selection's owner to convert it to `target` onto our property.
    virtual void convert(Atom target) = 0;
    /// The next event of the transfer in progress, or `timeout` at `deadline`. Events of earlier,
    /// given-up transfers are never returned.
    virtual Event wait(double deadline) = 0;
    /// Reads at most `maxBytes` of our property, deleting it when that is all of it.
    virtual Property read(std::int64_t maxBytes, bool remove) = 0;
    /// Deletes our property.
    virtual void remove() = 0;
    /// Gives the transfer in progress up: the property's window goes away, so nothing the
    /// owner sends later reaches the next transfer.
    virtual void abandon() = 0;
};

/// The transfer of one target of a selection, with a size cap and a timeout.
struct SelectionTransfer {
    enum class Outcome {
        done,        ///< `bytes` holds the value (cut when `cut`)
        refused,     ///< the owner cannot convert to that target
        failed,      ///< the owner answered nonsense
        timedOut,    ///< the owner stopped answering
        superseded,  ///< the selection changed hands meanwhile
        stopped,     ///< the reader is shutting down
    };

    Outcome outcome = Outcome::failed;
    SelectionLink::Atom type = SelectionLink::kNone;
    int format = 0;
    QByteArray bytes;
    /// More than `maxBytes` was on offer; only the first `maxBytes` were transferred.
    bool cut = false;
    /// Cut from increments the owner still waits to hand over; see `discardRest`.
    bool restPending = false;

    /// Converts the selection to `target` and reads at most `maxBytes` of it, whether it comes
    /// on the property at once or in increments (INCR). A longer value is stopped at the cap,
    /// not transferred whole: a property is read only up to the cap, increments are read no
    /// further. The owner gets `timeout` seconds for every answer.
    static SelectionTransfer run(SelectionLink& link, SelectionLink::Atom target,
                                 std::int64_t maxBytes, double timeout);

    /// After increments were cut: takes the owner's remaining increments off the property
    /// without transferring them (asking each one's size only), until the empty one. Some
    /// owners wait for every increment forever, and answer no one else meanwhile, once a
    /// requestor stops taking them. Ends early, giving the transfer up, on a new owner, on a
    /// stop, or when the owner is silent for `timeout`.
    static Outcome discardRest(SelectionLink& link, double timeout);
};

/// One reading of the clipboard, as the main thread sees it.
struct ClipboardReading {
    /// The type names on offer (MIME formats); none when the owner would not tell.
    std::optional<QStringList> types;
    std::optional<QString> text;
    bool image = false;
    /// `text` is the head of a longer text.
    bool cut = false;
};

/// How the clipboard is read.
struct ClipboardReadingRules {
    /// The most bytes of text transferred.
    std::int64_t maxTextBytes = 1024 * 1024;
    /// Seconds the owner gets for every answer.
    double timeout = 2.0;

    /// For a reader whose text is then kept cut to `keptBytes`: a few bytes more are
    /// transferred, so the cut can still tell whether a character ends there.
    static ClipboardReadingRules keeping(std::int64_t keptBytes, double timeout = 2.0) {
        return {keptBytes + 8, timeout};
    }
};

/// Reads the clipboard's owner: its targets first; then, unless they flag the content as
/// concealed (a password manager's `x-kde-passwordManagerHint` of "secret", or a marker type)
/// or transient, its text, preferring UTF-8. None when the selection changed hands meanwhile or
/// the reader stops; the reading is then out of date. `restPending`, when given, tells whether
/// the text was cut from increments the owner still waits to hand over
/// (`SelectionTransfer::discardRest`).
std::optional<ClipboardReading> readClipboard(SelectionLink& link,
                                              const ClipboardReadingRules& rules,
                                              bool* restPending = nullptr);

}  // namespace korvo
