#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace korvo {

/// Another X client that owns the CLIPBOARD: it answers conversions of its targets (by the
/// property, or in increments for larger values), or ignores every request; and it counts what
/// it was asked for. Runs on its own connection and thread.
class TestOwner {
public:
    struct Options {
        /// Target name to value; TARGETS is answered from the names.
        std::map<QByteArray, QByteArray> values;
        /// Values longer than this go in increments of this size; 0: never.
        int incrementBytes = 0;
        /// Takes the selection and answers nothing.
        bool ignoreRequests = false;
    };

    /// Returns once the server has made it the owner.
    explicit TestOwner(Options options);
    ~TestOwner();
    TestOwner(const TestOwner&) = delete;
    TestOwner& operator=(const TestOwner&) = delete;

    bool owns() const { return m_owns; }
    int requests(const QByteArray& target) const;
    int requestsTotal() const;
    /// Increments written, the empty last one included.
    int incrementsSent() const { return m_increments; }
    /// Finished increment transfers.
    int incrementTransfersDone() const { return m_incrementsDone; }
    /// A requestor went away in the middle of an incremental transfer.
    bool requestorLeft() const { return m_requestorLeft; }

private:
    struct Incremental {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray value;
        int sent = 0;  // bytes
        bool done = false;
    };

    void run();
    void handle(const xcb_generic_event_t& event);
    void answer(const xcb_selection_request_event_t& request);
    void sendNext(Incremental& transfer);
    xcb_atom_t atom(const QByteArray& name);
    QByteArray atomName(xcb_atom_t atom);

    Options m_options;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_clipboard = 0;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_owns{false};
    std::atomic<bool> m_requestorLeft{false};
    std::atomic<int> m_increments{0};
    std::atomic<int> m_incrementsDone{0};
    mutable std::mutex m_mutex;
    std::map<QByteArray, int> m_requests;
    std::map<std::pair<xcb_window_t, xcb_atom_t>, Incremental> m_transfers;
};

}  // namespace korvo
