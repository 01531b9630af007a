// A 100 MB copy on the clipboard: the tick that takes it in reads only the head it keeps, the
// history keeps only cut texts however many such copies are made, and the X reader transfers no
// more than that head.
#include "services/clipboard/ClipboardService.h"

#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeSelectionOwner.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

using namespace korvo;

namespace {

// A text of `units` UTF-16 units of which only the head and the last page can be read: any read
// of the middle faults, so a tick that scans or copies the whole text crashes the test.
class GuardedText {
public:
    GuardedText(qsizetype units, qsizetype readableHead) : m_units(units) {
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        m_bytes = (static_cast<std::size_t>(units) * sizeof(QChar) + page - 1) / page * page;
        m_memory = ::mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        const std::size_t head =
            (static_cast<std::size_t>(readableHead) * sizeof(QChar) + page - 1) / page * page;
        const std::size_t tail = m_bytes - page;
        if (m_memory != MAP_FAILED && head < tail &&
            ::mprotect(static_cast<char*>(m_memory) + head, tail - head, PROT_NONE) == 0) {
            m_headUnits = static_cast<qsizetype>(head / sizeof(QChar));
            m_tailStart = static_cast<qsizetype>(tail / sizeof(QChar));
        }
    }
    ~GuardedText() {
        if (m_memory != MAP_FAILED) {
            ::munmap(m_memory, m_bytes);
        }
    }
    bool ok() const { return m_memory != MAP_FAILED && m_headUnits > 0; }
    QChar* data() { return static_cast<QChar*>(m_memory); }
    qsizetype headUnits() const { return m_headUnits; }
    qsizetype tailStart() const { return m_tailStart; }
    /// The text itself, without a copy.
    QString text() { return QString::fromRawData(data(), m_units); }

private:
    qsizetype m_units;
    std::size_t m_bytes = 0;
    void* m_memory = MAP_FAILED;
    qsizetype m_headUnits = 0;
    qsizetype m_tailStart = 0;
};

class FaultClipboard : public ::testing::Test {
protected:
    FaultClipboard() : bus(loop), settings(dir.filePath("korvo.conf")) {
        settings.setClipboardHistoryLimit(10);
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (std::holds_alternative<ActivityUpdated>(e)) {
                ++updates;
            } else if (const auto* t = std::get_if<TransientNotification>(&e)) {
                toasts << t->title + QLatin1Char('|') + t->subtitle.value_or(QString());
            }
        });
        service = std::make_unique<ClipboardService>(
            loop, bus, settings, pasteboard,
            DebugLog(dir.filePath("clipboard.log"), [this] { return loop.wallNow(); }), nullptr);
        service->start();
    }
    QByteArray log() const {
        QFile f(dir.filePath("clipboard.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    SettingsStore settings;
    FakePasteboard pasteboard;
    std::unique_ptr<ClipboardService> service;
    Subscription sub;
    QStringList toasts;
    int updates = 0;
};

const QString kLine = QStringLiteral("2026-01-05 10:00:00 worker 7 charged 12,50 \u20AC ok\n");

}  // namespace

TEST_F(FaultClipboard, AHundredMegabyteCopyIsTakenInCutWithoutReadingItWhole) {
    // 100 MB of text as the pasteboard holds it: lines of a log dump, with a euro sign in each so
    // the text is not plain ASCII, and the dump's final line break. The tick may read what it
    // keeps, a little past it to find where a character ends, and the end (for blanks).
    GuardedText guarded(50'000'000, ClipboardService::kMaxTextBytes + 4096);
    ASSERT_TRUE(guarded.ok());
    for (qsizetype i = 0; i < guarded.headUnits(); ++i) {
        guarded.data()[i] = kLine[i % kLine.size()];
    }
    for (qsizetype i = guarded.tailStart(); i < 50'000'000; ++i) {
        guarded.data()[i] = kLine[i % kLine.size()];
    }
    guarded.data()[50'000'000 - 1] = QLatin1Char('\n');
    pasteboard.copy(guarded.text());
    const QString head = QString(guarded.data(), guarded.headUnits());

    loop.advance(ClipboardService::kPollInterval);
    ASSERT_EQ(service->history.get().size(), 1u);
    const QString kept = service->history.get().front().text;
    EXPECT_LE(kept.toUtf8().size(), ClipboardService::kMaxTextBytes);
    EXPECT_GT(kept.toUtf8().size(), ClipboardService::kMaxTextBytes - 64);
    EXPECT_TRUE(head.startsWith(kept));
    // The log counts what was kept, one character per unit here, and says there was more.
    EXPECT_TRUE(log().contains("string read: ok(" + QByteArray::number(kept.size()) + "+ chars)"));
    EXPECT_EQ(toasts,
              QStringList{"Copied|2026-01-05 10:00:00 worker 7 charged 12,50 \u20AC\u2026"});

    // The same copy again is a duplicate; twelve different ones leave the ten newest.
    ++pasteboard.count;
    loop.advance(ClipboardService::kPollInterval);
    EXPECT_EQ(updates, 1);
    for (int i = 0; i < 12; ++i) {
        guarded.data()[0] = QChar(u'a' + i);  // the pasteboard's own copy, changed in place
        ++pasteboard.count;
        loop.advance(ClipboardService::kPollInterval);
    }
    EXPECT_EQ(updates, 13);
    const auto& history = service->history.get();
    ASSERT_EQ(history.size(), 10u);
    EXPECT_TRUE(history.front().text.startsWith(QStringLiteral("l026")));
    EXPECT_TRUE(history.back().text.startsWith(QStringLiteral("c026")));
    for (const auto& item : history) {
        // Each entry owns a buffer of its cut size, not a share of the 100 MB text.
        EXPECT_LE(item.text.capacity(), ClipboardService::kMaxTextBytes);
        EXPECT_NE(item.text.constData(), guarded.data());
    }
}

TEST_F(FaultClipboard, TheXReaderTransfersOnlyTheHeadTheHistoryKeeps) {
    // 100 MB offered in increments; what the reader hands over is what the history would have
    // kept of the whole text.
    FakeSelectionOwner owner;
    const QByteArray line = kLine.toUtf8();
    FakeSelectionOwner::Offer offer;
    offer.how = FakeSelectionOwner::How::increments;
    offer.size = 100'000'000;
    offer.byteAt = [line](std::int64_t i) { return line[static_cast<qsizetype>(i % line.size())]; };
    offer.chunk = 256 * 1024;
    owner.offer("UTF8_STRING", offer);
    const auto rules = ClipboardReadingRules::keeping(ClipboardService::kMaxTextBytes);
    bool restPending = false;
    const std::optional<ClipboardReading> reading = readClipboard(owner, rules, &restPending);
    ASSERT_TRUE(reading && reading->text);
    // The rest of the 100 MB is let go by its size, never transferred.
    ASSERT_TRUE(restPending);
    SelectionTransfer::discardRest(owner, rules.timeout);
    EXPECT_TRUE(owner.finished());
    EXPECT_LE(owner.bytesHanded, ClipboardService::kMaxTextBytes + 64 * 1024);

    pasteboard.copy(*reading->text);
    pasteboard.cut = reading->cut;
    loop.advance(ClipboardService::kPollInterval);
    ASSERT_EQ(service->history.get().size(), 1u);
    const QString kept = service->history.get().front().text;
    const QString whole = kLine.repeated(ClipboardService::kMaxTextBytes / kLine.size() + 2);
    EXPECT_EQ(kept, ClipboardService::cutToBytes(whole, ClipboardService::kMaxTextBytes).trimmed());
    EXPECT_TRUE(log().contains("string read: ok(" + QByteArray::number(kept.size()) + "+ chars)"));
}
