#include "TestOwner.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace korvo {

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

TestOwner::TestOwner(Options options) : m_options(std::move(options)) {
    m_c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_c) || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
    m_window = xcb_generate_id(m_c);
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    m_clipboard = atom("CLIPBOARD");
    xcb_set_selection_owner(m_c, m_window, m_clipboard, XCB_CURRENT_TIME);
    std::unique_ptr<xcb_get_selection_owner_reply_t, Free> owner(
        xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, m_clipboard), nullptr));
    m_owns = owner && owner->owner == m_window;
    m_thread = std::thread([this] { run(); });
}

TestOwner::~TestOwner() {
    if (m_thread.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    for (const int fd : m_wake) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    xcb_disconnect(m_c);
}

int TestOwner::requests(const QByteArray& target) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_requests.find(target);
    return it == m_requests.end() ? 0 : it->second;
}

int TestOwner::requestsTotal() const {
    std::lock_guard lock(m_mutex);
    int total = 0;
    for (const auto& [target, n] : m_requests) {
        total += n;
    }
    return total;
}

void TestOwner::run() {
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_c)) {
            std::unique_ptr<xcb_generic_event_t, Free> event(raw);
            handle(*event);
        }
        if (xcb_connection_has_error(m_c)) {
            return;
        }
        xcb_flush(m_c);
        pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents) {
            return;
        }
    }
}

void TestOwner::handle(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
        case XCB_SELECTION_REQUEST:
            answer(reinterpret_cast<const xcb_selection_request_event_t&>(event));
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            const auto it = m_transfers.find({e.window, e.atom});
            if (e.state == XCB_PROPERTY_DELETE && it != m_transfers.end()) {
                sendNext(it->second);
                if (it->second.done) {
                    m_transfers.erase(it);
                }
            }
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            for (auto it = m_transfers.begin(); it != m_transfers.end();) {
                if (it->first.first == e.window) {
                    m_requestorLeft = true;
                    it = m_transfers.erase(it);
                } else {
                    ++it;
                }
            }
            break;
        }
        default:
            break;
    }
}

void TestOwner::answer(const xcb_selection_request_event_t& request) {
    const QByteArray target = atomName(request.target);
    {
        std::lock_guard lock(m_mutex);
        ++m_requests[target];
    }
    if (m_options.ignoreRequests) {
        return;
    }
    xcb_atom_t property = request.property;
    if (target == "TARGETS") {
        std::vector<xcb_atom_t> atoms{request.target};
        for (const auto& [name, value] : m_options.values) {
            atoms.push_back(atom(name));
        }
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM,
                            32, static_cast<uint32_t>(atoms.size()), atoms.data());
    } else if (const auto it = m_options.values.find(target); it != m_options.values.end()) {
        const QByteArray& value = it->second;
        if (m_options.incrementBytes > 0 && value.size() > m_options.incrementBytes) {
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(m_c, request.requestor, XCB_CW_EVENT_MASK, &mask);
            const auto size = static_cast<uint32_t>(value.size());
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                atom("INCR"), 32, 1, &size);
            m_transfers[{request.requestor, property}] =
                Incremental{request.requestor, property, request.target, value};
        } else {
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                request.target, 8, static_cast<uint32_t>(value.size()),
                                value.constData());
        }
    } else {
        property = XCB_NONE;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(m_c);
}

void TestOwner::sendNext(Incremental& transfer) {
    if (transfer.done) {
        return;
    }
    const QByteArray chunk = transfer.value.mid(transfer.sent, m_options.incrementBytes);
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                        transfer.type, 8, static_cast<uint32_t>(chunk.size()), chunk.constData());
    xcb_flush(m_c);
    transfer.sent += static_cast<int>(chunk.size());
    ++m_increments;
    if (chunk.isEmpty()) {
        transfer.done = true;
        ++m_incrementsDone;
    }
}

xcb_atom_t TestOwner::atom(const QByteArray& name) {
    std::unique_ptr<xcb_intern_atom_reply_t, Free> reply(xcb_intern_atom_reply(
        m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr));
    return reply ? reply->atom : XCB_NONE;
}

QByteArray TestOwner::atomName(xcb_atom_t atom) {
    std::unique_ptr<xcb_get_atom_name_reply_t, Free> reply(
        xcb_get_atom_name_reply(m_c, xcb_get_atom_name(m_c, atom), nullptr));
    return reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                              xcb_get_atom_name_name_length(reply.get()))
                 : QByteArray();
}

}  // namespace korvo
