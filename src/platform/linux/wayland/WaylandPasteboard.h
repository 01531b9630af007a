#pragma once

#include "core/MainLoop.h"
#include "platform/Pasteboard.h"
#include "platform/linux/wayland/PipeTransfer.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <QByteArray>
#include <QMap>

#include <map>
#include <memory>
#include <vector>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace korvo {

/// The Wayland clipboard through wlr-data-control, which sees every selection without keyboard
/// focus. Each new selection's text is read at once, through a pipe that never blocks the main
/// thread, with a cap and a time limit; the change counter rises when the read is over, so the
/// clipboard service always finds the text there. A selection offering the password managers'
/// hint is reported concealed and never read; one marked transient is not read either.
/// Re-copying offers the text with the transient marker. Where the compositor lacks
/// data-control nothing is ever read and `isAvailable` says so. Main thread only.
class WaylandPasteboard final : public Pasteboard {
public:
    static constexpr const char* kPasswordHint = "x-kde-passwordManagerHint";
    /// The clipboard history keeps 1 MiB of a text; a few bytes more show that it was cut.
    static constexpr qsizetype kMaxReadBytes = 1024 * 1024 + 4;
    static constexpr double kTransferTimeout = 3.0;

    WaylandPasteboard(wayland::Connection& connection, MainLoop& loop);
    ~WaylandPasteboard() override;
    WaylandPasteboard(const WaylandPasteboard&) = delete;
    WaylandPasteboard& operator=(const WaylandPasteboard&) = delete;

    std::int64_t changeCount() const override { return m_changeCount; }
    std::optional<QStringList> types() const override;
    std::optional<QString> string() const override { return m_string; }
    /// The text is only the head of a longer one: reading stopped at the cap.
    bool stringIsCut() const override { return m_string && m_lastEnd == wayland::PipeEnd::capped; }
    bool canReadImage() const override;
    void declareTypes(const QStringList& types) override;
    void setString(const QString& value, const QString& type) override;
    bool isAvailable() const override { return m_device != nullptr; }

    /// The text types asked for, best first.
    static const QStringList& textTypes();
    /// The text type to read from an offer of `types`, if any.
    static std::optional<QString> textTypeIn(const QStringList& types);

    /// Bytes read from the last selection, and how its transfer ended (for tests).
    qsizetype lastBytesRead() const { return m_lastBytesRead; }
    std::optional<wayland::PipeEnd> lastTransferEnd() const { return m_lastEnd; }

private:
    struct Listeners;
    friend struct Listeners;

    void offered(zwlr_data_control_offer_v1* offer);
    void offerType(zwlr_data_control_offer_v1* offer, const char* type);
    void selection(zwlr_data_control_offer_v1* offer);
    void transferred(QByteArray data, wayland::PipeEnd end, const QStringList& types);
    void changed(const QStringList& types, std::optional<QString> text);
    void publish();
    void send(zwlr_data_control_source_v1* source, const char* type, int fd);
    void cancelled(zwlr_data_control_source_v1* source);
    void destroyOffer();

    wayland::Connection& m_wl;
    MainLoop& m_loop;
    zwlr_data_control_device_v1* m_device = nullptr;
    std::map<zwlr_data_control_offer_v1*, QStringList> m_offers;  // introduced, not yet chosen
    zwlr_data_control_offer_v1* m_selection = nullptr;
    bool m_primed = false;  // the selection at start has been seen

    std::int64_t m_changeCount = 0;
    std::optional<QStringList> m_types;
    std::optional<QString> m_string;
    std::unique_ptr<wayland::PipeReader> m_reader;
    qsizetype m_lastBytesRead = 0;
    std::optional<wayland::PipeEnd> m_lastEnd;

    QStringList m_declared;
    QMap<QString, QByteArray> m_pending;
    zwlr_data_control_source_v1* m_source = nullptr;
    QMap<QString, QByteArray> m_sourceData;  // what the source sends, by type
    std::vector<std::unique_ptr<wayland::PipeWriter>> m_writers;
};

}  // namespace korvo
