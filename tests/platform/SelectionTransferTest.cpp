// Reading the X clipboard without the X server: the transfer of one target (a property, or
// increments) with its cap and timeout, and what the reader asks an owner for.
#include "platform/linux/SelectionTransfer.h"

#include "fakes/FakeSelectionOwner.h"
#include "platform/Pasteboard.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

using How = FakeSelectionOwner::How;
using Outcome = SelectionTransfer::Outcome;

constexpr double kTimeout = 2.0;
constexpr std::int64_t kCap = 1024 * 1024;

SelectionTransfer transfer(FakeSelectionOwner& owner, const char* target, std::int64_t cap = kCap) {
    return SelectionTransfer::run(owner, owner.atom(target), cap, kTimeout);
}

QByteArray letters(std::int64_t n) {
    QByteArray out;
    for (std::int64_t i = 0; i < n; ++i) {
        out.append(char('a' + i % 26));
    }
    return out;
}

std::optional<ClipboardReading> read(FakeSelectionOwner& owner, std::int64_t cap = kCap) {
    return readClipboard(owner, ClipboardReadingRules{cap, kTimeout});
}

}  // namespace

TEST(SelectionTransfer, AValueOnThePropertyIsReadUpToTheCap) {
    FakeSelectionOwner owner;
    owner.offer("UTF8_STRING", FakeSelectionOwner::text("hello"));
    SelectionTransfer t = transfer(owner, "UTF8_STRING");
    EXPECT_EQ(t.outcome, Outcome::done);
    EXPECT_EQ(t.bytes, "hello");
    EXPECT_FALSE(t.cut);
    EXPECT_EQ(t.format, 8);

    // Exactly the cap is whole; one byte more is cut, and the rest never crosses the wire.
    for (const std::int64_t size : {kCap, kCap + 1, 5 * kCap}) {
        FakeSelectionOwner big;
        big.offer("UTF8_STRING", FakeSelectionOwner::huge(size, How::property));
        t = transfer(big, "UTF8_STRING");
        EXPECT_EQ(t.outcome, Outcome::done) << size;
        EXPECT_EQ(t.cut, size > kCap) << size;
        EXPECT_EQ(t.bytes, letters(kCap)) << size;
        EXPECT_EQ(big.bytesHanded, kCap) << size;
        EXPECT_EQ(big.abandons, 0) << size;
    }
}

TEST(SelectionTransfer, IncrementsAreJoinedUntilTheEmptyOne) {
    // 300 kB in 64 kB increments; the owner's INCR marker comes before its answer and is not a
    // chunk of the value.
    FakeSelectionOwner owner;
    owner.offer("UTF8_STRING", FakeSelectionOwner::huge(300'000));
    const SelectionTransfer t = transfer(owner, "UTF8_STRING");
    EXPECT_EQ(t.outcome, Outcome::done);
    EXPECT_EQ(t.bytes, letters(300'000));
    EXPECT_FALSE(t.cut);
    EXPECT_EQ(t.type, owner.atom("UTF8_STRING"));
    EXPECT_EQ(owner.chunksWritten, 6);  // five with data, one empty
    EXPECT_EQ(owner.abandons, 0);

    // A value of exactly the cap needs the empty increment to tell it is whole.
    FakeSelectionOwner exact;
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(kCap);
    offer.chunk = kCap / 4;
    exact.offer("UTF8_STRING", offer);
    const SelectionTransfer e = transfer(exact, "UTF8_STRING");
    EXPECT_EQ(e.bytes.size(), kCap);
    EXPECT_FALSE(e.cut);
    EXPECT_EQ(exact.abandons, 0);

    // An empty value is one empty increment.
    FakeSelectionOwner empty;
    empty.offer("UTF8_STRING", FakeSelectionOwner::huge(0));
    const SelectionTransfer z = transfer(empty, "UTF8_STRING");
    EXPECT_EQ(z.outcome, Outcome::done);
    EXPECT_TRUE(z.bytes.isEmpty());
}

TEST(SelectionTransfer, IncrementsPastTheCapAreCutAndTheRestIsNeverTransferred) {
    // 100 MB offered in 256 kB increments; the increment that crosses the cap is read only up to
    // it.
    FakeSelectionOwner owner;
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(100'000'000);
    offer.chunk = 256 * 1024 + 7;  // the cap falls inside an increment
    owner.offer("UTF8_STRING", offer);
    const SelectionTransfer t = transfer(owner, "UTF8_STRING");
    EXPECT_EQ(t.outcome, Outcome::done);
    EXPECT_TRUE(t.cut);
    EXPECT_TRUE(t.restPending);
    EXPECT_EQ(t.bytes, letters(kCap));
    EXPECT_EQ(owner.bytesHanded, kCap + 4);  // the value and the INCR marker, nothing more
    EXPECT_EQ(owner.chunksWritten, 4);

    // The rest is taken off the property by size only, so the owner gets to its end.
    EXPECT_EQ(SelectionTransfer::discardRest(owner, kTimeout), Outcome::done);
    EXPECT_TRUE(owner.finished());
    EXPECT_EQ(owner.chunksWritten, 100'000'000 / offer.chunk + 2);
    EXPECT_EQ(owner.bytesHanded, kCap + 4);
    EXPECT_EQ(owner.abandons, 0);
    EXPECT_EQ(owner.clock, 0);
}

TEST(SelectionTransfer, DiscardingTheRestEndsOnSilenceOrANewOwner) {
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(4 * kCap);
    offer.chunk = kCap / 2 + 1;
    offer.stallAfterChunks = 5;
    FakeSelectionOwner stalling;
    stalling.offer("UTF8_STRING", offer);
    ASSERT_TRUE(transfer(stalling, "UTF8_STRING").restPending);
    EXPECT_EQ(SelectionTransfer::discardRest(stalling, kTimeout), Outcome::timedOut);
    EXPECT_EQ(stalling.clock, kTimeout);
    EXPECT_EQ(stalling.abandons, 1);

    offer.stallAfterChunks = -1;
    offer.handOverAfterChunks = 5;
    FakeSelectionOwner handing;
    handing.offer("UTF8_STRING", offer);
    ASSERT_TRUE(transfer(handing, "UTF8_STRING").restPending);
    EXPECT_EQ(SelectionTransfer::discardRest(handing, kTimeout), Outcome::superseded);
    EXPECT_EQ(handing.abandons, 1);
}

TEST(SelectionTransfer, AnOwnerThatStopsAnsweringCostsOneTimeout) {
    FakeSelectionOwner silent;
    silent.offer("UTF8_STRING", FakeSelectionOwner::text("never sent", How::silent));
    const SelectionTransfer t = transfer(silent, "UTF8_STRING");
    EXPECT_EQ(t.outcome, Outcome::timedOut);
    EXPECT_EQ(silent.clock, kTimeout);
    // Its late answer must not reach the next transfer.
    EXPECT_EQ(silent.abandons, 1);

    // Silent in the middle of increments: what came is dropped, the timeout counts from the last
    // increment.
    FakeSelectionOwner stalling;
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(300'000);
    offer.stallAfterChunks = 2;
    stalling.offer("UTF8_STRING", offer);
    const SelectionTransfer s = transfer(stalling, "UTF8_STRING");
    EXPECT_EQ(s.outcome, Outcome::timedOut);
    EXPECT_TRUE(s.bytes.isEmpty());
    EXPECT_EQ(stalling.clock, kTimeout);
    EXPECT_EQ(stalling.abandons, 1);
}

TEST(SelectionTransfer, ARefusalCostsNoTimeAndANewOwnerEndsTheTransfer) {
    FakeSelectionOwner owner;  // offers nothing
    EXPECT_EQ(transfer(owner, "UTF8_STRING").outcome, Outcome::refused);
    EXPECT_EQ(owner.abandons, 0);
    EXPECT_EQ(owner.clock, 0);

    FakeSelectionOwner handing;
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(300'000);
    offer.handOverAfterChunks = 1;
    handing.offer("UTF8_STRING", offer);
    const SelectionTransfer h = transfer(handing, "UTF8_STRING");
    EXPECT_EQ(h.outcome, Outcome::superseded);
    EXPECT_TRUE(h.bytes.isEmpty());
    EXPECT_EQ(handing.abandons, 1);
}

TEST(ClipboardReading, TextIsReadAsUtf8FirstThenLatin1) {
    FakeSelectionOwner owner;
    owner.offer("UTF8_STRING", FakeSelectionOwner::text("caf\xC3\xA9"));
    owner.offer("text/plain;charset=utf-8", FakeSelectionOwner::text("second"));
    owner.offer("STRING", FakeSelectionOwner::text("third"));
    auto r = read(owner);
    ASSERT_TRUE(r && r->text);
    EXPECT_EQ(*r->text, QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(owner.conversions, (QList<QByteArray>{"TARGETS", "UTF8_STRING"}));

    // A refused target, or one in the wrong format, sends the reader to the next.
    FakeSelectionOwner fallback;
    fallback.offer("UTF8_STRING", FakeSelectionOwner::text("", How::refuse));
    FakeSelectionOwner::Offer wide = FakeSelectionOwner::text("abcd");
    wide.format = 32;
    fallback.offer("text/plain;charset=utf-8", wide);
    fallback.offer("STRING", FakeSelectionOwner::text("caf\xE9"));
    r = read(fallback);
    ASSERT_TRUE(r && r->text);
    EXPECT_EQ(*r->text, QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(fallback.conversions.size(), 4);
}

TEST(ClipboardReading, ConcealedAndTransientContentIsNeverAskedFor) {
    auto owner = [](const QByteArray& extra, FakeSelectionOwner::Offer extraOffer) {
        FakeSelectionOwner o;
        o.offer("UTF8_STRING", FakeSelectionOwner::text("correct-horse-battery-staple"));
        o.offer("STRING", FakeSelectionOwner::text("correct-horse-battery-staple"));
        o.offer(extra, std::move(extraOffer));
        return o;
    };
    const QString concealed = QString::fromLatin1(Pasteboard::kConcealedType);
    for (const QByteArray& hint : {QByteArray("secret"), QByteArray(" secret\n")}) {
        FakeSelectionOwner manager =
            owner("x-kde-passwordManagerHint", FakeSelectionOwner::text(hint));
        const auto r = read(manager);
        ASSERT_TRUE(r && r->types);
        EXPECT_FALSE(r->text);
        EXPECT_TRUE(r->types->contains(concealed));
        EXPECT_EQ(manager.conversions, (QList<QByteArray>{"TARGETS", "x-kde-passwordManagerHint"}));
    }
    // A hint that cannot be read might have said "secret": one timeout, then nothing more.
    FakeSelectionOwner mute =
        owner("x-kde-passwordManagerHint", FakeSelectionOwner::text("secret", How::silent));
    auto r = read(mute);
    EXPECT_FALSE(r->text);
    EXPECT_TRUE(r->types->contains(concealed));
    EXPECT_EQ(mute.conversions.size(), 2);
    EXPECT_EQ(mute.clock, kTimeout);

    // Any other hint is no secret.
    FakeSelectionOwner open =
        owner("x-kde-passwordManagerHint", FakeSelectionOwner::text("public"));
    r = read(open);
    ASSERT_TRUE(r->text);
    EXPECT_FALSE(r->types->contains(concealed));

    // The marker types alone are enough; not even the hint is asked for.
    for (const char* marker : {Pasteboard::kConcealedType, Pasteboard::kTransientType}) {
        FakeSelectionOwner marked = owner(marker, FakeSelectionOwner::text(""));
        marked.offer("x-kde-passwordManagerHint", FakeSelectionOwner::text("public"));
        r = read(marked);
        ASSERT_TRUE(r && r->types);
        EXPECT_FALSE(r->text);
        EXPECT_TRUE(r->types->contains(QString::fromLatin1(marker)));
        EXPECT_EQ(marked.conversions, QList<QByteArray>{"TARGETS"});
    }
}

TEST(ClipboardReading, AnOwnerWithoutTargetsOrWithASilentTextCostsOneTimeout) {
    // Without targets nothing says the content is not a secret, so the text stays unread.
    FakeSelectionOwner refusing;
    refusing.offer("TARGETS", FakeSelectionOwner::text("", How::refuse));
    refusing.offer("UTF8_STRING", FakeSelectionOwner::text("text"));
    auto r = read(refusing);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->types);
    EXPECT_FALSE(r->text);
    EXPECT_EQ(refusing.conversions, QList<QByteArray>{"TARGETS"});

    FakeSelectionOwner silent;
    silent.offer("TARGETS", FakeSelectionOwner::text("", How::silent));
    r = read(silent);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->types);
    EXPECT_EQ(silent.conversions, QList<QByteArray>{"TARGETS"});
    EXPECT_EQ(silent.clock, kTimeout);

    // A text target that goes unanswered is not followed by the next one.
    FakeSelectionOwner slow;
    slow.offer("UTF8_STRING", FakeSelectionOwner::text("x", How::silent));
    slow.offer("STRING", FakeSelectionOwner::text("x"));
    r = read(slow);
    ASSERT_TRUE(r && r->types);
    EXPECT_FALSE(r->text);
    EXPECT_EQ(slow.conversions, (QList<QByteArray>{"TARGETS", "UTF8_STRING"}));
    EXPECT_EQ(slow.clock, kTimeout);
}

TEST(ClipboardReading, ACutTextEndsOnAWholeCharacter) {
    // Euro signs are three bytes each; a cap of 3n+1 and 3n+2 falls inside one.
    for (const std::int64_t cap : {30, 31, 32}) {
        FakeSelectionOwner owner;
        owner.offer("UTF8_STRING", FakeSelectionOwner::text(QByteArray("\xE2\x82\xAC").repeated(20),
                                                            How::increments));
        const auto r = read(owner, cap);
        ASSERT_TRUE(r && r->text) << cap;
        EXPECT_TRUE(r->cut);
        EXPECT_EQ(*r->text, QString(QChar(0x20AC)).repeated(10)) << cap;
    }
    // A text cut from a property leaves no increments behind; one cut from increments does.
    for (const How how : {How::property, How::increments}) {
        FakeSelectionOwner owner;
        owner.offer("UTF8_STRING", FakeSelectionOwner::huge(100, how));
        bool restPending = false;
        ASSERT_TRUE(readClipboard(owner, ClipboardReadingRules{50, kTimeout}, &restPending));
        EXPECT_EQ(restPending, how == How::increments);
    }
    // A four-byte character cut after its first byte.
    FakeSelectionOwner emoji;
    emoji.offer("UTF8_STRING", FakeSelectionOwner::text("ab\xF0\x9F\x98\x80"));
    auto r = read(emoji, 3);
    EXPECT_EQ(*r->text, "ab");
    // Latin-1 has no partial characters.
    FakeSelectionOwner latin;
    latin.offer("STRING", FakeSelectionOwner::text("\xE9\xE9\xE9\xE9"));
    r = read(latin, 3);
    EXPECT_EQ(*r->text, QString::fromUtf8("\xC3\xA9\xC3\xA9\xC3\xA9"));
    EXPECT_TRUE(r->cut);
}

TEST(ClipboardReading, TypesAreMimeFormats) {
    FakeSelectionOwner owner;
    owner.offer("UTF8_STRING", FakeSelectionOwner::text("x"));
    owner.offer("STRING", FakeSelectionOwner::text("x"));
    owner.offer("text/html", FakeSelectionOwner::text("<b>x</b>"));
    owner.offer("MULTIPLE", FakeSelectionOwner::text(""));
    auto r = read(owner);
    ASSERT_TRUE(r && r->types);
    QStringList types = *r->types;
    types.sort();
    EXPECT_EQ(types, (QStringList{"text/html", "text/plain"}));
    EXPECT_FALSE(r->image);

    for (const QByteArray& image : {QByteArray("image/png"), QByteArray("PIXMAP")}) {
        FakeSelectionOwner picture;
        picture.offer(image, FakeSelectionOwner::text("\x89PNG"));
        r = read(picture);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->image) << image.constData();
        EXPECT_FALSE(r->text);
        EXPECT_EQ(picture.conversions, QList<QByteArray>{"TARGETS"});
    }
}

TEST(ClipboardReading, IncrementsOfAValueNotKeptAreLetGoBeforeTheNextTransfer) {
    // A hint far longer than "secret" comes in increments; the reader cuts it, and the owner is
    // done sending it before the text is asked for.
    FakeSelectionOwner owner;
    FakeSelectionOwner::Offer hint = FakeSelectionOwner::huge(4096);
    hint.chunk = 100;
    owner.offer("x-kde-passwordManagerHint", hint);
    owner.offer("UTF8_STRING", FakeSelectionOwner::text("visible"));
    auto r = read(owner);
    ASSERT_TRUE(r && r->text);
    EXPECT_EQ(*r->text, "visible");
    EXPECT_EQ(owner.conversions.size(), 3);
    EXPECT_EQ(owner.leftHanging, 0);
    EXPECT_EQ(owner.abandons, 0);

    // So is a text in the wrong format.
    FakeSelectionOwner wide;
    FakeSelectionOwner::Offer words = FakeSelectionOwner::huge(3 * kCap);
    words.format = 32;
    wide.offer("UTF8_STRING", words);
    wide.offer("STRING", FakeSelectionOwner::text("narrow"));
    r = read(wide);
    ASSERT_TRUE(r && r->text);
    EXPECT_EQ(*r->text, "narrow");
    EXPECT_EQ(wide.leftHanging, 0);
}

TEST(ClipboardReading, ANewOwnerMakesTheReadingOutOfDate) {
    FakeSelectionOwner owner;
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(300'000);
    offer.handOverAfterChunks = 2;
    owner.offer("UTF8_STRING", offer);
    EXPECT_FALSE(read(owner));
}
