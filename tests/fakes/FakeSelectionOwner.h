#pragma once

#include "platform/linux/SelectionTransfer.h"

#include <deque>
#include <functional>
#include <map>

namespace korvo {

/// An X connection with one selection owner behind it, on a virtual clock: the owner answers
/// conversions as scripted (at once, in increments, refusing, or never) and the link counts what
/// the reader asked for and how many bytes it was handed.
class FakeSelectionOwner final : public SelectionLink {
public:
    enum class How { property, increments, refuse, silent };

    struct Offer {
        How how = How::property;
        /// The value, `size` bytes made by `byteAt` (so a 100 MB value needs no memory).
        std::int64_t size = 0;
        std::function<char(std::int64_t)> byteAt;
        Atom type = 0;  ///< 0: UTF8_STRING
        int format = 8;
        std::int64_t chunk = 64 * 1024;
        /// With increments: after this many have been written the owner falls silent.
        int stallAfterChunks = -1;
        /// With increments: after this many have been written the selection changes hands.
        int handOverAfterChunks = -1;
    };

    static Offer text(const QByteArray& value, How how = How::property) {
        Offer offer;
        offer.how = how;
        offer.size = value.size();
        offer.byteAt = [value](std::int64_t i) { return value[static_cast<qsizetype>(i)]; };
        return offer;
    }
    static Offer huge(std::int64_t size, How how = How::increments) {
        Offer offer;
        offer.how = how;
        offer.size = size;
        offer.byteAt = [](std::int64_t i) { return char('a' + i % 26); };
        return offer;
    }

    /// Offers `target` (its name); TARGETS lists every offer unless scripted itself.
    void offer(const QByteArray& target, Offer offer) { offers[target] = std::move(offer); }

    // SelectionLink
    Atom atom(const char* name) override {
        const QByteArray key(name);
        auto it = m_atoms.find(key);
        if (it == m_atoms.end()) {
            it = m_atoms.emplace(key, static_cast<Atom>(100 + m_atoms.size())).first;
        }
        return it->second;
    }
    std::vector<QByteArray> atomNames(const std::vector<Atom>& atoms) override {
        std::vector<QByteArray> names;
        for (const Atom a : atoms) {
            QByteArray name;
            for (const auto& [n, value] : m_atoms) {
                if (value == a) {
                    name = n;
                }
            }
            names.push_back(name);
        }
        return names;
    }
    double now() const override { return clock; }

    void convert(Atom target) override {
        const QByteArray name = atomNames({target}).front();
        conversions << name;
        if (m_incr && !finished()) {
            ++leftHanging;
        }
        m_incr.reset();
        m_events.clear();
        Offer o;
        if (name == "TARGETS" && !offers.count(name)) {
            o = targetsOffer();
        } else if (offers.count(name)) {
            o = offers.at(name);
        } else {
            o.how = How::refuse;
        }
        if (o.type == 0) {
            o.type = atom("UTF8_STRING");
        }
        switch (o.how) {
            case How::refuse:
                m_events.push_back(Event::refused);
                return;
            case How::silent:
                return;
            case How::property:
                m_property = Stored{o.type, o.format, o.byteAt, 0, o.size};
                m_events.push_back(Event::converted);
                return;
            case How::increments: {
                const auto size =
                    static_cast<std::uint32_t>(std::min<std::int64_t>(o.size, UINT32_MAX));
                const QByteArray marker(reinterpret_cast<const char*>(&size), 4);
                m_property =
                    Stored{atom("INCR"), 32,
                           [marker](std::int64_t i) { return marker[qsizetype(i)]; }, 0, 4};
                m_incr = o;
                m_sent = 0;
                m_chunks = 0;
                // The marker is written before the answer, as owners do.
                m_events.push_back(Event::newValue);
                m_events.push_back(Event::converted);
                return;
            }
        }
    }
    Event wait(double deadline) override {
        if (m_events.empty()) {
            clock = std::max(clock, deadline);
            return Event::timeout;
        }
        const Event e = m_events.front();
        m_events.pop_front();
        return e;
    }
    Property read(std::int64_t maxBytes, bool remove) override {
        if (!m_property) {
            return {};
        }
        const Stored& v = *m_property;
        const std::int64_t kept = std::min(v.size, maxBytes);
        Property p{v.type, v.format, QByteArray(static_cast<qsizetype>(kept), Qt::Uninitialized),
                   v.size - kept};
        for (std::int64_t i = 0; i < kept; ++i) {
            p.bytes[static_cast<qsizetype>(i)] = v.byteAt(v.from + i);
        }
        bytesHanded += kept;
        if (remove && p.bytesAfter == 0) {
            deleted();
        }
        return p;
    }
    void remove() override {
        if (m_property) {
            deleted();
        }
    }
    void abandon() override {
        ++abandons;
        m_property.reset();
        m_incr.reset();
        m_events.clear();
    }

    std::map<QByteArray, Offer> offers;
    double clock = 0;
    /// Targets asked for, in order.
    QList<QByteArray> conversions;
    std::int64_t bytesHanded = 0;
    int abandons = 0;
    /// Increments the owner wrote, the final empty one included.
    int chunksWritten = 0;
    /// Conversions asked for while the owner still waited to send increments of another.
    int leftHanging = 0;
    /// The owner wrote its final, empty increment.
    bool finished() const { return m_incr && m_sent > m_incr->size; }

private:
    // A property's value, made only as far as it is read.
    struct Stored {
        Atom type = 0;
        int format = 8;
        std::function<char(std::int64_t)> byteAt;
        std::int64_t from = 0;
        std::int64_t size = 0;
    };

    Offer targetsOffer() {
        QByteArray list;
        for (const char* meta : {"TARGETS", "TIMESTAMP"}) {
            const Atom a = atom(meta);
            list.append(reinterpret_cast<const char*>(&a), sizeof a);
        }
        for (const auto& [name, o] : offers) {
            const Atom a = atom(name.constData());
            list.append(reinterpret_cast<const char*>(&a), sizeof a);
        }
        Offer o = text(list);
        o.type = atom("ATOM");
        o.format = 32;
        return o;
    }

    // The requestor deleted the property: an owner sending in increments writes the next one.
    void deleted() {
        m_property.reset();
        if (!m_incr || m_sent > m_incr->size) {
            return;
        }
        if (m_chunks == m_incr->stallAfterChunks) {
            return;
        }
        if (m_chunks == m_incr->handOverAfterChunks) {
            m_events.push_back(Event::ownerChanged);
            return;
        }
        const std::int64_t n = std::min(m_incr->chunk, m_incr->size - m_sent);
        m_property = Stored{m_incr->type, m_incr->format, m_incr->byteAt, m_sent, n};
        m_sent += n == 0 ? 1 : n;  // past the end once the empty one is out
        ++m_chunks;
        ++chunksWritten;
        m_events.push_back(Event::newValue);
    }

    std::map<QByteArray, Atom> m_atoms;
    std::optional<Stored> m_property;
    std::optional<Offer> m_incr;
    std::int64_t m_sent = 0;
    int m_chunks = 0;
    std::deque<Event> m_events;
};

}  // namespace korvo
