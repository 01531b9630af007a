#include "WaylandPasteboard.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>

namespace korvo {

struct WaylandPasteboard::Listeners {
    static void dataOffer(void* data, zwlr_data_control_device_v1*,
                          zwlr_data_control_offer_v1* offer) {
        static_cast<WaylandPasteboard*>(data)->offered(offer);
    }
    static void selection(void* data, zwlr_data_control_device_v1*,
                          zwlr_data_control_offer_v1* offer) {
        static_cast<WaylandPasteboard*>(data)->selection(offer);
    }
    static void finished(void* data, zwlr_data_control_device_v1* device) {
        // The seat went away; the clipboard is out of reach from now on.
        auto* self = static_cast<WaylandPasteboard*>(data);
        zwlr_data_control_device_v1_destroy(device);
        self->m_device = nullptr;
    }
    static void primarySelection(void*, zwlr_data_control_device_v1*,
                                 zwlr_data_control_offer_v1* offer) {
        if (offer) {
            zwlr_data_control_offer_v1_destroy(offer);  // the primary selection is not kept
        }
    }
    static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
        static_cast<WaylandPasteboard*>(data)->offerType(offer, type);
    }
    static void send(void* data, zwlr_data_control_source_v1* source, const char* type,
                     std::int32_t fd) {
        static_cast<WaylandPasteboard*>(data)->send(source, type, fd);
    }
    static void cancelled(void* data, zwlr_data_control_source_v1* source) {
        static_cast<WaylandPasteboard*>(data)->cancelled(source);
    }

    static const zwlr_data_control_device_v1_listener& device() {
        static const zwlr_data_control_device_v1_listener l = {dataOffer, selection, finished,
                                                               primarySelection};
        return l;
    }
    static const zwlr_data_control_offer_v1_listener& offer() {
        static const zwlr_data_control_offer_v1_listener l = {offerType};
        return l;
    }
    static const zwlr_data_control_source_v1_listener& source() {
        static const zwlr_data_control_source_v1_listener l = {send, cancelled};
        return l;
    }
};

WaylandPasteboard::WaylandPasteboard(wayland::Connection& connection, MainLoop& loop)
    : m_wl(connection), m_loop(loop) {
    if (!m_wl.dataControl() || !m_wl.seat()) {
        return;  // this desktop keeps its clipboard to itself
    }
    // A reader that leaves before taking everything must end a transfer, not the program.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGPIPE, SIG_IGN);
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_wl.dataControl(), m_wl.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &Listeners::device(), this);
    // The device announces what is on the clipboard now; that is not a change.
    m_wl.roundtrip();
    m_primed = true;
}

WaylandPasteboard::~WaylandPasteboard() {
    m_reader.reset();
    m_writers.clear();
    destroyOffer();
    for (const auto& [offer, types] : m_offers) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
    if (m_source) {
        zwlr_data_control_source_v1_destroy(m_source);
    }
    if (m_device) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    m_wl.flush();
}

const QStringList& WaylandPasteboard::textTypes() {
    static const QStringList types = {QStringLiteral("text/plain;charset=utf-8"),
                                      QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain"),
                                      QStringLiteral("STRING"), QStringLiteral("TEXT")};
    return types;
}

std::optional<QString> WaylandPasteboard::textTypeIn(const QStringList& types) {
    for (const QString& t : textTypes()) {
        if (types.contains(t)) {
            return t;
        }
    }
    return std::nullopt;
}

std::optional<QStringList> WaylandPasteboard::types() const {
    return m_types;
}

bool WaylandPasteboard::canReadImage() const {
    if (!m_types) {
        return false;
    }
    return std::any_of(m_types->begin(), m_types->end(),
                       [](const QString& t) { return t.startsWith(QLatin1String("image/")); });
}

void WaylandPasteboard::offered(zwlr_data_control_offer_v1* offer) {
    m_offers[offer] = {};
    zwlr_data_control_offer_v1_add_listener(offer, &Listeners::offer(), this);
}

void WaylandPasteboard::offerType(zwlr_data_control_offer_v1* offer, const char* type) {
    auto it = m_offers.find(offer);
    if (it != m_offers.end()) {
        it->second << QString::fromUtf8(type);
    }
}

void WaylandPasteboard::destroyOffer() {
    if (m_selection) {
        zwlr_data_control_offer_v1_destroy(m_selection);
        m_selection = nullptr;
    }
}

void WaylandPasteboard::selection(zwlr_data_control_offer_v1* offer) {
    destroyOffer();
    m_reader.reset();  // a transfer still running is for a selection that is gone
    QStringList types;
    if (offer) {
        types = m_offers[offer];
        m_offers.erase(offer);
        m_selection = offer;
    }
    // Offers introduced but not chosen are of no further use.
    for (const auto& [other, unused] : m_offers) {
        zwlr_data_control_offer_v1_destroy(other);
    }
    m_offers.clear();

    if (!m_primed) {
        m_types = types;  // what was there at start: seen, not news
        return;
    }
    const QString hint = QString::fromLatin1(kPasswordHint);
    if (types.contains(hint)) {
        // A password manager's copy: the hint alone decides; nothing of it is read.
        types << QString::fromLatin1(kConcealedType);
        changed(types, std::nullopt);
        return;
    }
    const std::optional<QString> text = textTypeIn(types);
    if (!text || types.contains(QLatin1String(kConcealedType)) ||
        types.contains(QLatin1String(kTransientType))) {
        changed(types, std::nullopt);
        return;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        changed(types, std::nullopt);
        return;
    }
    zwlr_data_control_offer_v1_receive(offer, text->toUtf8().constData(), fds[1]);
    close(fds[1]);  // the request carries its own copy
    m_wl.flush();
    m_reader =
        std::make_unique<wayland::PipeReader>(m_loop, fds[0], kMaxReadBytes, kTransferTimeout,
                                              [this, types](QByteArray data, wayland::PipeEnd end) {
                                                  transferred(std::move(data), end, types);
                                              });
    m_reader->watch();
}

void WaylandPasteboard::transferred(QByteArray data, wayland::PipeEnd end,
                                    const QStringList& types) {
    m_lastBytesRead = data.size();
    m_lastEnd = end;
    if (end == wayland::PipeEnd::complete || end == wayland::PipeEnd::capped) {
        changed(types, QString::fromUtf8(wayland::completeUtf8Prefix(data)));
    } else {
        changed(types, std::nullopt);  // a sender that hangs or breaks gives nothing
    }
}

void WaylandPasteboard::changed(const QStringList& types, std::optional<QString> text) {
    m_types = types;
    m_string = std::move(text);
    ++m_changeCount;
}

void WaylandPasteboard::declareTypes(const QStringList& types) {
    m_declared = types;
    m_pending.clear();
}

void WaylandPasteboard::setString(const QString& value, const QString& type) {
    if (!m_device || !m_declared.contains(type)) {
        return;
    }
    m_pending[type] = value.toUtf8();
    for (const QString& t : m_declared) {
        if (!m_pending.contains(t)) {
            return;  // the selection changes hands once every declared type has its data
        }
    }
    publish();
}

void WaylandPasteboard::publish() {
    if (m_source) {
        zwlr_data_control_source_v1_destroy(m_source);
    }
    m_writers.clear();
    m_sourceData.clear();
    m_source = zwlr_data_control_manager_v1_create_data_source(m_wl.dataControl());
    zwlr_data_control_source_v1_add_listener(m_source, &Listeners::source(), this);
    for (auto it = m_pending.constBegin(); it != m_pending.constEnd(); ++it) {
        // Plain text goes out under every name text goes by on this desktop.
        const QStringList names =
            it.key() == QLatin1String(kPlainText) ? textTypes() : QStringList{it.key()};
        for (const QString& name : names) {
            m_sourceData[name] = it.value();
            zwlr_data_control_source_v1_offer(m_source, name.toUtf8().constData());
        }
    }
    zwlr_data_control_device_v1_set_selection(m_device, m_source);
    m_wl.flush();
    ++m_changeCount;
}

void WaylandPasteboard::send(zwlr_data_control_source_v1* source, const char* type, int fd) {
    std::erase_if(m_writers, [](const auto& w) { return w->finished(); });
    if (source != m_source) {
        close(fd);
        return;
    }
    auto writer = std::make_unique<wayland::PipeWriter>(
        m_loop, fd, m_sourceData.value(QString::fromUtf8(type)), kTransferTimeout);
    writer->writeAvailable();
    if (!writer->finished()) {
        m_writers.push_back(std::move(writer));
    }
}

void WaylandPasteboard::cancelled(zwlr_data_control_source_v1* source) {
    // Someone else owns the clipboard now.
    zwlr_data_control_source_v1_destroy(source);
    if (source == m_source) {
        m_source = nullptr;
    }
}

}  // namespace korvo
