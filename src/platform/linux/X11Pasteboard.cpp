#include "X11Pasteboard.h"

#include "core/MainLoop.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace korvo {

namespace {

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

}  // namespace

/// The worker: its own connection, a window that watches the CLIPBOARD's owner, and a
/// requestor window whose property the owners write to.
class X11Pasteboard::Worker final : public SelectionLink {
public:
    using Deliver = std::function<void(std::int64_t, ClipboardReading)>;

    static std::unique_ptr<Worker> connect(const char* display, ClipboardReadingRules rules) {
        int screenNumber = 0;
        xcb_connection_t* c = xcb_connect(display, &screenNumber);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return nullptr;
        }
        std::unique_ptr<Worker> worker(new Worker(c, rules));
        return worker->setUp(screenNumber) ? std::move(worker) : nullptr;
    }

    ~Worker() override {
        m_stopping = true;
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_wake[0]);
        ::close(m_wake[1]);
        xcb_disconnect(m_c);
    }

    void start(Deliver deliver) {
        m_deliver = std::move(deliver);
        m_thread = std::thread([this] { run(); });
    }

    Atom atom(const char* name) override {
        const QByteArray key(name);
        if (const auto it = m_atoms.find(key); it != m_atoms.end()) {
            return it->second;
        }
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(key.size()), key.constData()),
            nullptr));
        const Atom atom = reply ? reply->atom : kNone;
        if (atom != kNone) {
            m_atoms.emplace(key, atom);
        }
        return atom;
    }

    std::vector<QByteArray> atomNames(const std::vector<Atom>& atoms) override {
        // Asked all at once; atoms never change their names, so each is asked once.
        std::vector<xcb_get_atom_name_cookie_t> cookies(atoms.size());
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            if (atoms[i] != kNone && !m_names.count(atoms[i])) {
                cookies[i] = xcb_get_atom_name(m_c, atoms[i]);
            }
        }
        std::vector<QByteArray> names;
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            if (atoms[i] != kNone && !m_names.count(atoms[i])) {
                Reply<xcb_get_atom_name_reply_t> reply(
                    xcb_get_atom_name_reply(m_c, cookies[i], nullptr));
                m_names[atoms[i]] = reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                                                       xcb_get_atom_name_name_length(reply.get()))
                                          : QByteArray();
            }
            names.push_back(atoms[i] == kNone ? QByteArray() : m_names[atoms[i]]);
        }
        return names;
    }

    double now() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void convert(Atom target) override {
        m_target = target;
        xcb_convert_selection(m_c, m_requestor, m_clipboard, target, m_property, m_ownerTime);
        xcb_flush(m_c);
    }

    Event wait(double deadline) override {
        for (;;) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(m_c)) {
                Reply<xcb_generic_event_t> event(raw);
                if (const std::optional<Event> seen = classify(*event)) {
                    return *seen;
                }
            }
            if (m_stopping || xcb_connection_has_error(m_c)) {
                return Event::stop;
            }
            xcb_flush(m_c);
            int ms = -1;
            if (std::isfinite(deadline)) {
                const double left = deadline - now();
                if (left <= 0) {
                    return Event::timeout;
                }
                ms = static_cast<int>(std::min(std::ceil(left * 1000), 3600e3));
            }
            pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            ::poll(fds, 2, ms);
        }
    }

    Property read(std::int64_t maxBytes, bool remove) override {
        const auto longs = static_cast<uint32_t>(
            std::min<std::int64_t>((maxBytes + 3) / 4, std::numeric_limits<uint32_t>::max()));
        Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(m_c,
                                   xcb_get_property(m_c, remove ? 1 : 0, m_requestor, m_property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, longs),
                                   nullptr));
        Property property;
        if (!reply) {
            return property;
        }
        const std::int64_t length = xcb_get_property_value_length(reply.get());
        const std::int64_t kept = std::min(length, maxBytes);
        property.type = reply->type;
        property.format = reply->format;
        property.bytes =
            QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), kept);
        property.bytesAfter = reply->bytes_after + (length - kept);
        return property;
    }

    void remove() override {
        xcb_delete_property(m_c, m_requestor, m_property);
        xcb_flush(m_c);
    }

    void abandon() override {
        xcb_destroy_window(m_c, m_requestor);
        m_requestor = createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
        m_target = kNone;
        xcb_flush(m_c);
    }

private:
    Worker(xcb_connection_t* c, ClipboardReadingRules rules) : m_c(c), m_rules(rules) {
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            m_wake[0] = m_wake[1] = -1;
        }
    }

    bool setUp(int screenNumber) {
        if (m_wake[0] < 0) {
            return false;
        }
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
            xcb_screen_next(&screens);
        }
        if (screens.rem == 0) {
            return false;
        }
        m_root = screens.data->root;

        Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            m_c, xcb_xfixes_query_version(m_c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
            nullptr));
        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(m_c, &xcb_xfixes_id);
        if (!version || !xfixes || !xfixes->present) {
            return false;
        }
        m_xfixesNotify = static_cast<uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);

        m_clipboard = atom("CLIPBOARD");
        m_property = atom("KORVO_SELECTION");
        m_watch = createWindow(0);
        m_requestor = createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
        Reply<xcb_generic_error_t> error(xcb_request_check(
            m_c, xcb_xfixes_select_selection_input_checked(
                     m_c, m_watch, m_clipboard,
                     XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                         XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                         XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE)));
        return !error && m_clipboard != kNone && m_property != kNone;
    }

    xcb_window_t createWindow(uint32_t eventMask) {
        const xcb_window_t window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &eventMask);
        return window;
    }

    std::optional<Event> classify(const xcb_generic_event_t& event) {
        const uint8_t type = event.response_type & 0x7f;
        if (type == m_xfixesNotify) {
            const auto& e = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
            if (e.selection != m_clipboard) {
                return std::nullopt;
            }
            // An owner leaving is no new content, but it ends whatever was being read from it.
            if (e.owner != XCB_NONE) {
                ++m_changes;
                m_ownerTime = e.selection_timestamp;
            }
            return Event::ownerChanged;
        }
        if (type == XCB_SELECTION_NOTIFY) {
            const auto& e = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            if (m_target == kNone || e.requestor != m_requestor || e.selection != m_clipboard ||
                e.target != m_target) {
                return std::nullopt;
            }
            return e.property == XCB_NONE ? Event::refused : Event::converted;
        }
        if (type == XCB_PROPERTY_NOTIFY) {
            const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (m_target != kNone && e.window == m_requestor && e.atom == m_property &&
                e.state == XCB_PROPERTY_NEW_VALUE) {
                return Event::newValue;
            }
        }
        return std::nullopt;  // errors (an owner's window gone) and everything else
    }

    void run() {
        std::int64_t covered = 0;  // owners covered by the last reading
        while (!m_stopping) {
            if (covered == m_changes) {
                if (wait(std::numeric_limits<double>::infinity()) == Event::stop) {
                    return;
                }
                continue;
            }
            const std::int64_t count = m_changes;
            bool restPending = false;
            std::optional<ClipboardReading> reading = readClipboard(*this, m_rules, &restPending);
            if (reading) {
                covered = count;
                m_deliver(count, std::move(*reading));
                if (restPending) {
                    // After the reading is out: the owner's rest costs the main thread nothing.
                    SelectionTransfer::discardRest(*this, m_rules.timeout);
                }
            }
            m_target = kNone;
            if (m_stopping || xcb_connection_has_error(m_c)) {
                return;
            }
            // A reading overtaken by a new owner is dropped; the next one covers both.
        }
    }

    xcb_connection_t* m_c;
    ClipboardReadingRules m_rules;
    Deliver m_deliver;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    int m_wake[2] = {-1, -1};

    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_watch = XCB_NONE;
    xcb_window_t m_requestor = XCB_NONE;
    uint8_t m_xfixesNotify = 0;
    Atom m_clipboard = kNone;
    Atom m_property = kNone;
    Atom m_target = kNone;  // of the conversion in progress
    xcb_timestamp_t m_ownerTime = XCB_CURRENT_TIME;
    std::int64_t m_changes = 0;  // owners seen
    std::map<QByteArray, Atom> m_atoms;
    std::unordered_map<Atom, QByteArray> m_names;
};

std::unique_ptr<X11Pasteboard> X11Pasteboard::connect(MainLoop& loop, ClipboardReadingRules rules,
                                                      const char* display) {
    std::unique_ptr<Worker> worker = Worker::connect(display, rules);
    if (!worker) {
        return nullptr;
    }
    std::unique_ptr<X11Pasteboard> board(new X11Pasteboard(std::move(worker)));
    X11Pasteboard* self = board.get();
    self->m_worker->start([&loop, self, life = std::weak_ptr<char>(self->m_life)](
                              std::int64_t count, ClipboardReading reading) {
        loop.post([self, life, count, reading = std::move(reading)]() mutable {
            if (life.lock()) {
                self->take(count, std::move(reading));
            }
        });
    });
    return board;
}

X11Pasteboard::X11Pasteboard(std::unique_ptr<Worker> worker) : m_worker(std::move(worker)) {}

X11Pasteboard::~X11Pasteboard() {
    m_worker.reset();  // joins the worker before anything it posts to goes
}

void X11Pasteboard::take(std::int64_t count, ClipboardReading reading) {
    m_count = count;
    m_reading = std::move(reading);
}

void X11Pasteboard::declareTypes(const QStringList& types) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_writer.declareTypes(types);
}

void X11Pasteboard::setString(const QString& value, const QString& type) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_writer.setString(value, type);
}

}  // namespace korvo
