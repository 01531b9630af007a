#include "SelectionTransfer.h"

#include "platform/Pasteboard.h"
#include "platform/linux/QtPasteboard.h"

#include <algorithm>
#include <cstring>

namespace korvo {

namespace {

using Atom = SelectionLink::Atom;
using Event = SelectionLink::Event;
using Outcome = SelectionTransfer::Outcome;

// Room for sixteen thousand targets; no owner offers more.
constexpr std::int64_t kMaxTargetBytes = 64 * 1024;
// "secret" and a little blank around it.
constexpr std::int64_t kMaxHintBytes = 64;

// The text targets, best first, and whether each is UTF-8 (else Latin-1).
struct TextTarget {
    const char* name;
    bool utf8;
};
constexpr TextTarget kTextTargets[] = {
    {"UTF8_STRING", true},
    {"text/plain;charset=utf-8", true},
    {"STRING", false},
};

// Targets about the selection itself rather than its content.
bool isMetaTarget(const QByteArray& name) {
    static const QByteArray meta[] = {"TARGETS",        "MULTIPLE", "TIMESTAMP",
                                      "SAVE_TARGETS",   "DELETE",   "INSERT_SELECTION",
                                      "INSERT_PROPERTY"};
    return name.isEmpty() || std::find(std::begin(meta), std::end(meta), name) != std::end(meta);
}

bool isTextTarget(const QByteArray& name) {
    static const QByteArray text[] = {"UTF8_STRING", "STRING", "TEXT", "COMPOUND_TEXT",
                                      "text/plain;charset=utf-8"};
    return std::find(std::begin(text), std::end(text), name) != std::end(text);
}

Outcome giveUp(SelectionLink& link, Event event) {
    link.abandon();
    switch (event) {
        case Event::ownerChanged:
            return Outcome::superseded;
        case Event::stop:
            return Outcome::stopped;
        default:
            return Outcome::timedOut;
    }
}

// A cut UTF-8 text may end inside a character; that partial character goes.
QByteArray wholeCharacters(QByteArray bytes) {
    qsizetype lead = bytes.size() - 1;
    while (lead >= 0 && bytes.size() - lead < 4 && (uchar(bytes[lead]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead < 0) {
        return bytes;
    }
    const uchar c = uchar(bytes[lead]);
    const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (bytes.size() - lead < length) {
        bytes.truncate(lead);
    }
    return bytes;
}

}  // namespace

SelectionTransfer SelectionTransfer::run(SelectionLink& link, Atom target, std::int64_t maxBytes,
                                         double timeout) {
    SelectionTransfer t;
    link.convert(target);
    Event event;
    const double answerBy = link.now() + timeout;
    do {
        // An owner that sends in increments writes its INCR marker before it answers; the
        // marker is read once the answer is in.
        event = link.wait(answerBy);
    } while (event == Event::newValue);
    if (event == Event::refused) {
        t.outcome = Outcome::refused;
        return t;
    }
    if (event != Event::converted) {
        t.outcome = giveUp(link, event);
        return t;
    }

    const SelectionLink::Property first = link.read(maxBytes, true);
    if (first.type == SelectionLink::kNone) {
        t.outcome = Outcome::failed;
        return t;
    }
    if (first.bytesAfter > 0) {
        link.remove();  // read only up to the cap, the rest is not wanted
    }
    if (first.type != link.atom("INCR")) {
        t.outcome = Outcome::done;
        t.type = first.type;
        t.format = first.format;
        t.bytes = first.bytes;
        t.cut = first.bytesAfter > 0;
        return t;
    }

    // Deleting the INCR marker (done by the read) asks for the first increment; deleting each
    // increment asks for the next; an empty one ends the value.
    for (;;) {
        event = link.wait(link.now() + timeout);
        if (event == Event::converted || event == Event::refused) {
            continue;
        }
        if (event != Event::newValue) {
            t.outcome = giveUp(link, event);
            t.bytes.clear();
            return t;
        }
        const SelectionLink::Property chunk = link.read(maxBytes - t.bytes.size(), true);
        if (chunk.type == SelectionLink::kNone) {
            continue;  // a notice of our own deletion, or of a value already read
        }
        if (t.type == SelectionLink::kNone) {
            t.type = chunk.type;
            t.format = chunk.format;
        }
        if (chunk.bytes.isEmpty() && chunk.bytesAfter == 0) {
            t.outcome = Outcome::done;
            return t;
        }
        t.bytes += chunk.bytes;
        if (chunk.bytesAfter > 0) {
            t.outcome = Outcome::done;
            t.cut = true;
            t.restPending = true;
            return t;
        }
    }
}

SelectionTransfer::Outcome SelectionTransfer::discardRest(SelectionLink& link, double timeout) {
    link.remove();  // the increment that crossed the cap, read in part
    for (;;) {
        const Event event = link.wait(link.now() + timeout);
        if (event == Event::converted || event == Event::refused) {
            continue;
        }
        if (event != Event::newValue) {
            return giveUp(link, event);
        }
        // Its size only; an empty one is the last and goes with this read.
        const SelectionLink::Property chunk = link.read(0, true);
        if (chunk.type == SelectionLink::kNone) {
            continue;
        }
        if (chunk.bytesAfter == 0) {
            return Outcome::done;
        }
        link.remove();
    }
}

std::optional<ClipboardReading> readClipboard(SelectionLink& link,
                                              const ClipboardReadingRules& rules,
                                              bool* restPending) {
    if (restPending) {
        *restPending = false;
    }
    // Increments left over from a value not kept are let go before the next transfer.
    auto settled = [&](const SelectionTransfer& t) {
        if (!t.restPending) {
            return true;
        }
        const Outcome rest = SelectionTransfer::discardRest(link, rules.timeout);
        return rest != Outcome::superseded && rest != Outcome::stopped;
    };

    ClipboardReading reading;
    const SelectionTransfer targets =
        SelectionTransfer::run(link, link.atom("TARGETS"), kMaxTargetBytes, rules.timeout);
    if (targets.outcome == Outcome::superseded || targets.outcome == Outcome::stopped ||
        !settled(targets)) {
        return std::nullopt;
    }
    // Without the targets nothing tells whether the content is concealed, so nothing is read.
    if (targets.outcome != Outcome::done || targets.format != 32) {
        return reading;
    }
    std::vector<Atom> atoms(static_cast<std::size_t>(targets.bytes.size()) / sizeof(Atom));
    std::memcpy(atoms.data(), targets.bytes.constData(), atoms.size() * sizeof(Atom));
    const std::vector<QByteArray> names = link.atomNames(atoms);
    auto offers = [&](const char* name) {
        return std::find(names.begin(), names.end(), QByteArray(name)) != names.end();
    };

    QStringList types;
    for (const QByteArray& name : names) {
        const QString type = isTextTarget(name) ? QString::fromLatin1(Pasteboard::kPlainText)
                                                : QString::fromUtf8(name);
        if (!isMetaTarget(name) && !types.contains(type)) {
            types << type;
        }
        reading.image = reading.image || name.startsWith("image/") || name == "PIXMAP";
    }

    bool hidden = offers(Pasteboard::kConcealedType) || offers(Pasteboard::kTransientType);
    if (!hidden && offers(QtPasteboard::kPasswordHint)) {
        // Only the hint is read. One that cannot be read may still say "secret".
        const SelectionTransfer hint = SelectionTransfer::run(
            link, link.atom(QtPasteboard::kPasswordHint), kMaxHintBytes, rules.timeout);
        if (hint.outcome == Outcome::superseded || hint.outcome == Outcome::stopped ||
            !settled(hint)) {
            return std::nullopt;
        }
        if (hint.outcome != Outcome::done || hint.bytes.trimmed() == "secret") {
            hidden = true;
            types << QString::fromLatin1(Pasteboard::kConcealedType);
        }
    }
    reading.types = types;
    if (hidden) {
        return reading;
    }

    for (const TextTarget& target : kTextTargets) {
        if (!offers(target.name)) {
            continue;
        }
        const SelectionTransfer text =
            SelectionTransfer::run(link, link.atom(target.name), rules.maxTextBytes, rules.timeout);
        switch (text.outcome) {
            case Outcome::done:
                if (text.format != 8) {
                    if (!settled(text)) {
                        return std::nullopt;
                    }
                    continue;
                }
                reading.cut = text.cut;
                if (restPending) {
                    *restPending = text.restPending;
                }
                reading.text =
                    target.utf8
                        ? QString::fromUtf8(text.cut ? wholeCharacters(text.bytes) : text.bytes)
                        : QString::fromLatin1(text.bytes);
                return reading;
            case Outcome::refused:
            case Outcome::failed:
                continue;
            case Outcome::timedOut:
                return reading;  // one silent owner costs one timeout, not one per target
            case Outcome::superseded:
            case Outcome::stopped:
                return std::nullopt;
        }
    }
    return reading;
}

}  // namespace korvo
