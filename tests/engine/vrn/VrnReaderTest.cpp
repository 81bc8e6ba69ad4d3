// The reader against files made by hand: a good one opens, and every kind of
// damage or hostility is refused with a message naming it.
#include "RawContainer.h"
#include "TestEnvironment.h"
#include "VrnDisc.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vorn::vrn;
using namespace vorn::test::raw;
using vorn::test::TempDir;

namespace {

constexpr std::uint32_t kCdCapacity = 360000;
constexpr std::size_t A = RawContainer::kTableA, B = RawContainer::kTableB;

// A CD-R with two sessions: an audio track, then a data track after the gap.
RawContainer goodCd() {
    RawContainer c(0x101, kCdCapacity, 2352);
    RawTrack audio{.session = 1, .type = 2, .mode = 0, .blockSize = 2352, .start = 0,
                   .length = 3000, .pregap = 150, .flags = 1, .isrc = "USABC1234567",
                   .title = "Song"};
    RawTrack data{.session = 2, .type = 1, .mode = 1, .blockSize = 2048, .start = 14400,
                  .length = 500, .pregap = 150};
    c.table(A, 1, 1, {audio, data});
    return c;
}

struct Case {
    const char *name;
    std::function<void(RawContainer &)> damage;
    const char *expected;  // part of the message
    std::uint64_t fileSize = 0;
};

}  // namespace

TEST(VrnReader, GoodHandMadeFileOpensWithItsFields) {
    TempDir dir;
    goodCd().write(dir / "good.vrn");
    auto disc = VrnDisc::open(dir / "good.vrn", VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(disc.ok()) << disc.error();
    const VrnDisc &d = disc.value();
    EXPECT_EQ(d.mediumType(), 0x101u);
    EXPECT_EQ(d.state(), DiscState::Appendable);
    ASSERT_EQ(d.sessions().size(), 2u);
    ASSERT_EQ(d.tracks().size(), 2u);
    EXPECT_EQ(d.tracks()[0].type, TrackType::Audio);
    EXPECT_EQ(d.tracks()[0].isrc, "USABC1234567");
    EXPECT_EQ(d.tracks()[0].cdText.title, "Song");
    EXPECT_EQ(d.tracks()[0].flags, kTrackCopyPermitted);
    EXPECT_EQ(d.tracks()[1].session, 2u);
    EXPECT_EQ(d.tracks()[1].start, 14400u);
    // Both validation entry points agree.
    EXPECT_TRUE(VrnDisc::validate(goodCd().head, RawContainer::kData + 360000ull * 2352).ok());
}

TEST(VrnReader, RefusesDamagedOrHostileFiles) {
    const std::uint64_t full = RawContainer::kData + std::uint64_t(kCdCapacity) * 2352;
    const std::vector<Case> cases = {
        {"shorter than a header", [](RawContainer &) {}, "truncated: 100 bytes", 100},
        {"data area cut short", [](RawContainer &) {}, "truncated", full - 1},
        {"bad magic", [](RawContainer &c) { c.head[0] = 'X'; }, "bad magic"},
        {"later version", [](RawContainer &c) { put32(c.head, 8, 2); c.sealHeader(); },
         "unsupported container version 2"},
        {"header checksum", [](RawContainer &c) { c.head[20] ^= 1; }, "header checksum"},
        {"unknown medium", [](RawContainer &c) { put32(c.head, 16, 0x3); c.sealHeader(); },
         "unknown medium type 0x3"},
        {"capacity 0", [](RawContainer &c) { put32(c.head, 20, 0); c.sealHeader(); },
         "capacity of 0"},
        {"capacity huge", [](RawContainer &c) { put32(c.head, 20, 0xFFFFFFFF); c.sealHeader(); },
         "more than the"},
        {"slot size of DVD on CD", [](RawContainer &c) { put32(c.head, 24, 2048); c.sealHeader(); },
         "block slot size 2048"},
        {"table slot too large", [](RawContainer &c) { put32(c.head, 28, 0x7FFFFFFF); c.sealHeader(); },
         "table slot size"},
        {"data offset unaligned", [](RawContainer &c) { put64(c.head, 48, 1048577); c.sealHeader(); },
         "data offset"},
        {"table beyond data", [](RawContainer &c) { put64(c.head, 40, 0xFFFFFFFFFFFF0000ull); c.sealHeader(); },
         "table slot B at offset"},
        {"tables overlap", [](RawContainer &c) { put64(c.head, 40, A + 100); c.sealHeader(); },
         "overlap"},
        {"reserved header bytes", [](RawContainer &c) { c.head[60] = 1; c.sealHeader(); },
         "reserved bytes of the container header"},
        {"table checksum", [](RawContainer &c) { c.head[A + 24] = 2; },
         "no valid table: A: checksum does not match; B: unused"},
        {"table magic", [](RawContainer &c) { c.head[A] = 'X'; }, "A: bad magic"},
        {"table size beyond slot",
         [](RawContainer &c) { put32(c.head, A + 16, 0xFFFFFFF0); c.sealTable(A); },
         "does not fit its slot"},
        {"track count huge",
         [](RawContainer &c) { put32(c.head, A + 36, 0xFFFFFFFF); c.sealTable(A); },
         "4294967295 tracks (at most 99)"},
        {"session count huge",
         [](RawContainer &c) { put32(c.head, A + 32, 100000); c.sealTable(A); },
         "100000 sessions"},
        {"size disagrees with counts",
         [](RawContainer &c) { put32(c.head, A + 36, 1); c.sealTable(A); },
         "does not match 2 sessions and 1 tracks"},
        {"unknown state", [](RawContainer &c) { put32(c.head, A + 24, 7); c.sealTable(A); },
         "unknown disc state 7"},
        {"blank with tracks", [](RawContainer &c) { put32(c.head, A + 24, 0); c.sealTable(A); },
         "blank disc with sessions"},
        {"book type", [](RawContainer &c) { put32(c.head, A + 28, 9); c.sealTable(A); }, "book type 9"},
        {"mcn letters", [](RawContainer &c) { putText(c.head, A + 48, "12345678901AB"); c.sealTable(A); },
         "not 13 digits"},
        {"mcn unterminated",
         [](RawContainer &c) { std::fill_n(c.head.begin() + A + 48, 16, '1'); c.sealTable(A); },
         "not NUL-terminated"},
        {"disc title unterminated",
         [](RawContainer &c) { std::fill_n(c.head.begin() + A + 64, 160, 'x'); c.sealTable(A); },
         "the disc's CD-Text title is not NUL-terminated"},
        {"bytes after a text",
         [](RawContainer &c) { c.head[A + 64 + 160 + 100] = 'x'; c.sealTable(A); },
         "performer has bytes after its end"},
        {"session numbered wrongly",
         [](RawContainer &c) { put32(c.head, c.sessionRecord(A, 1), 5); c.sealTable(A); },
         "session 2 is numbered 5"},
        {"session without tracks",
         [](RawContainer &c) { put32(c.head, c.sessionRecord(A, 1) + 8, 0); c.sealTable(A); },
         "session 2 has no track"},
        {"session claims too many tracks",
         [](RawContainer &c) { put32(c.head, c.sessionRecord(A, 1) + 8, 0xFFFFFFFF); c.sealTable(A); },
         "claims 4294967295 tracks"},
        {"open session not last",
         [](RawContainer &c) { put32(c.head, c.sessionRecord(A, 0) + 12, 0); c.sealTable(A); },
         "session 1 is open but is not the last"},
        {"unknown session flags",
         [](RawContainer &c) { put32(c.head, c.sessionRecord(A, 0) + 12, 3); c.sealTable(A); },
         "unknown flags"},
        {"closed disc with open session",
         [](RawContainer &c) {
             put32(c.head, A + 24, 2);
             put32(c.head, c.sessionRecord(A, 1) + 12, 0);
             c.sealTable(A);
         },
         "closed disc whose last session is open"},
        {"track numbered wrongly",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1), 7); c.sealTable(A); },
         "track 2 is numbered 7"},
        {"track in the wrong session",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 4, 1); c.sealTable(A); },
         "track 2 says session 1"},
        {"unknown track type",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 8, 3); c.sealTable(A); },
         "unknown track type 3"},
        {"odd block size",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 16, 512); c.sealTable(A); },
         "block size 512"},
        {"audio of 2048-byte blocks",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 0) + 16, 2048); c.sealTable(A); },
         "2352-byte blocks"},
        {"mode 2 of 2048-byte blocks",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 12, 2); c.sealTable(A); },
         "does not suit track mode 2"},
        {"overlapping tracks",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 20, 2900); c.sealTable(A); },
         "track 2 (from block 2750 with its pregap) overlaps track 1"},
        {"pregap reaching into the previous track",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 28, 12000); c.sealTable(A); },
         "overlaps track 1"},
        {"first pregap too far below 0",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 0) + 28, 151); c.sealTable(A); },
         "more than 150"},
        {"track beyond capacity",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 24, 400000); c.sealTable(A); },
         "beyond the capacity of 360000"},
        {"length that overflows",
         [](RawContainer &c) {
             put32(c.head, c.trackRecord(A, 1) + 20, 0xFFFFFF00);
             put32(c.head, c.trackRecord(A, 1) + 24, 0x200);
             c.sealTable(A);
         },
         "ends at block 4294967552"},
        {"empty complete track",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 24, 0); c.sealTable(A); },
         "0 blocks"},
        {"unknown track flags",
         [](RawContainer &c) { put32(c.head, c.trackRecord(A, 1) + 32, 0x80); c.sealTable(A); },
         "unknown track flags 0x80"},
        {"bad ISRC",
         [](RawContainer &c) { putText(c.head, c.trackRecord(A, 0) + 36, "us-ab-12-345"); c.sealTable(A); },
         "ISRC"},
        {"reserved track bytes",
         [](RawContainer &c) { c.head[c.trackRecord(A, 1) + 50] = 1; c.sealTable(A); },
         "reserved bytes of track 2"},
        {"track title unterminated",
         [](RawContainer &c) { std::fill_n(c.head.begin() + c.trackRecord(A, 1) + 64, 160, 'x'); c.sealTable(A); },
         "track 2's CD-Text title"},
    };
    TempDir dir;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        RawContainer c = goodCd();
        k.damage(c);
        const auto path = dir / "bad.vrn";
        c.write(path, k.fileSize);
        auto disc = VrnDisc::open(path);
        ASSERT_FALSE(disc.ok());
        EXPECT_NE(disc.error().find(k.expected), std::string::npos) << disc.error();
        EXPECT_NE(disc.error().find(path.string()), std::string::npos) << disc.error();
        // The in-memory validator refuses the same head.
        std::vector<std::uint8_t> head = c.head;
        if (k.fileSize && k.fileSize < head.size()) head.resize(k.fileSize);
        EXPECT_FALSE(VrnDisc::validate(head, k.fileSize ? k.fileSize : full).ok());
    }
}

TEST(VrnReader, RefusesMediumRulesOffCd) {
    TempDir dir;
    const auto path = dir / "dvd.vrn";
    RawContainer dvd(0x2008, 2295104, 2048);
    dvd.table(A, 1, 1, {RawTrack{.type = 2, .mode = 0, .blockSize = 2352, .length = 10}});
    dvd.write(path);
    auto r = VrnDisc::open(path);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find("does not fit medium 0x2008"), std::string::npos) << r.error();

    dvd.table(A, 1, 1, {RawTrack{.mode = 3, .length = 10}});
    dvd.write(path);
    r = VrnDisc::open(path);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find("mode 1 only"), std::string::npos) << r.error();
}

TEST(VrnReader, NewestWholeTableWinsAndTornOneFallsBack) {
    TempDir dir;
    const auto path = dir / "two.vrn";
    RawContainer c = goodCd();
    // Slot B: a newer table with only the first session, open.
    c.table(B, 2, 1, {RawTrack{.type = 2, .mode = 0, .blockSize = 2352, .length = 3000, .pregap = 150}},
            true);
    c.write(path);
    auto newer = VrnDisc::open(path);
    ASSERT_TRUE(newer.ok()) << newer.error();
    EXPECT_EQ(newer.value().tracks().size(), 1u);
    EXPECT_EQ(newer.value().generation(), 2u);
    EXPECT_TRUE(newer.value().hasOpenSession());

    // The same newer table torn in the middle: the older one is used.
    c.head[B + 1024 + 40] ^= 0xFF;
    c.write(path);
    auto older = VrnDisc::open(path);
    ASSERT_TRUE(older.ok()) << older.error();
    EXPECT_EQ(older.value().tracks().size(), 2u);
    EXPECT_EQ(older.value().generation(), 1u);

    // A whole but inconsistent newer table is refused rather than skipped.
    c = goodCd();
    c.table(B, 5, 0, {RawTrack{.length = 10}});
    c.write(path);
    auto refused = VrnDisc::open(path);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("table B: a blank disc"), std::string::npos) << refused.error();
}
