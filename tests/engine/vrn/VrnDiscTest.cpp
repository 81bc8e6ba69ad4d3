// The container as the drives use it: making discs, writing tracks and
// sessions, erasing, committing safely, and the bytes it leaves in the file.
#include "RawContainer.h"
#include "TestEnvironment.h"
#include "VrnDisc.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vorn::vrn;
using namespace vorn::test::raw;
using vorn::test::TempDir;

namespace {

std::vector<std::uint8_t> pattern(std::size_t bytes, std::uint8_t seed) {
    std::vector<std::uint8_t> b(bytes);
    for (std::size_t i = 0; i < bytes; ++i) b[i] = std::uint8_t(seed + i * 7 + i / 251);
    return b;
}

std::uint64_t allocatedBytes(const std::filesystem::path &p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return std::uint64_t(st.st_blocks) * 512;
}

VrnDisc make(const std::filesystem::path &p, std::uint32_t medium) {
    auto r = VrnDisc::create(p, medium, medium::nominalCapacity(medium));
    EXPECT_TRUE(r.ok()) << r.error();
    return std::move(r).value();
}

TrackSpec audioTrack(std::uint32_t start, std::uint32_t length, std::uint32_t pregap = 150) {
    TrackSpec t;
    t.type = TrackType::Audio;
    t.mode = TrackMode::Audio;
    t.blockSize = 2352;
    t.start = start;
    t.length = length;
    t.pregap = pregap;
    return t;
}

TrackSpec dataTrack(std::uint32_t start, std::uint32_t length, std::uint32_t pregap = 0) {
    TrackSpec t;
    t.start = start;
    t.length = length;
    t.pregap = pregap;
    return t;
}

}  // namespace

TEST(VrnDisc, EveryFieldSurvivesReopening) {
    TempDir dir;
    const auto path = dir / "cd.vrn";
    {
        VrnDisc disc = make(path, medium::CdR);
        CdText discText{"Album", "Band", "Writer", "Composer", "Arranger", "Hello"};
        ASSERT_TRUE(disc.setCdText(discText).ok());
        ASSERT_TRUE(disc.setMcn("0123456789012").ok());
        ASSERT_TRUE(disc.setBookType(3).ok());

        TrackSpec a = audioTrack(0, 4500);
        a.isrc = "DEXYZ2400001";
        a.cdText = {"Song \xe9t\xe9", "Singer", "", "", "", ""};  // ISO-8859-1 accents
        a.flags = kTrackCopyPermitted | kTrackPreEmphasis;
        ASSERT_TRUE(disc.appendTrack(a).ok());
        TrackSpec x = dataTrack(4500, 2000);
        x.mode = TrackMode::Mode2Form1;
        x.blockSize = 2336;
        ASSERT_TRUE(disc.appendTrack(x).ok());
        ASSERT_TRUE(disc.closeSession().ok());
        TrackSpec m2 = dataTrack(6500 + 11250 + 150, 300, 150);
        m2.mode = TrackMode::Mode2;
        m2.blockSize = 2352;
        m2.flags = kTrackIncomplete;
        ASSERT_TRUE(disc.appendTrack(m2).ok());
    }
    auto again = VrnDisc::open(path, VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(again.ok()) << again.error();
    const VrnDisc &d = again.value();
    EXPECT_EQ(d.mediumType(), medium::CdR);
    EXPECT_EQ(d.capacity(), 360000u);
    EXPECT_EQ(d.slotSize(), 2352u);
    EXPECT_EQ(d.state(), DiscState::Appendable);
    EXPECT_EQ(d.bookType(), 3u);
    EXPECT_EQ(d.mcn(), "0123456789012");
    EXPECT_EQ(d.cdText(), (CdText{"Album", "Band", "Writer", "Composer", "Arranger", "Hello"}));
    ASSERT_EQ(d.sessions().size(), 2u);
    EXPECT_EQ(d.sessions()[0], (Session{1, 1, 2, true}));
    EXPECT_EQ(d.sessions()[1], (Session{2, 3, 1, false}));
    ASSERT_EQ(d.tracks().size(), 3u);
    EXPECT_EQ(d.tracks()[0].isrc, "DEXYZ2400001");
    EXPECT_EQ(d.tracks()[0].cdText.title, "Song \xe9t\xe9");
    EXPECT_EQ(d.tracks()[0].flags, kTrackCopyPermitted | kTrackPreEmphasis);
    EXPECT_EQ(d.tracks()[1].mode, TrackMode::Mode2Form1);
    EXPECT_EQ(d.tracks()[1].blockSize, 2336u);
    EXPECT_EQ(d.tracks()[2].session, 2u);
    EXPECT_EQ(d.tracks()[2].start, 17900u);
    EXPECT_EQ(d.tracks()[2].pregap, 150u);
    EXPECT_EQ(d.tracks()[2].flags, kTrackIncomplete);
    // Read-only handles change nothing.
    VrnDisc ro = std::move(again).value();
    EXPECT_FALSE(ro.closeDisc().ok());
    EXPECT_FALSE(ro.writeBlocks(0, pattern(2352, 1), 2352).ok());
}

TEST(VrnDisc, WriterRefusesBadFieldsAndKeepsItsState) {
    TempDir dir;
    VrnDisc disc = make(dir / "cd.vrn", medium::CdRw);
    EXPECT_FALSE(disc.setMcn("12345").ok());
    EXPECT_FALSE(disc.setBookType(8).ok());
    EXPECT_FALSE(disc.setCdText({std::string(160, 'x'), "", "", "", "", ""}).ok());
    TrackSpec t = audioTrack(0, 10);
    t.isrc = "toolong-isrc-code";
    EXPECT_FALSE(disc.appendTrack(t).ok());
    EXPECT_FALSE(disc.appendTrack(audioTrack(0, 400000)).ok()) << "beyond capacity";
    EXPECT_FALSE(disc.appendTrack(audioTrack(0, 10, 151)).ok()) << "pregap too far below 0";
    EXPECT_FALSE(disc.closeDisc().ok()) << "a blank disc cannot be closed";
    EXPECT_FALSE(disc.closeSession().ok());
    EXPECT_EQ(disc.generation(), 1u);
    EXPECT_EQ(disc.state(), DiscState::Blank);

    auto dvd = VrnDisc::create(dir / "dvd.vrn", medium::DvdPlusR, 2295104);
    ASSERT_TRUE(dvd.ok());
    EXPECT_FALSE(dvd.value().appendTrack(audioTrack(0, 10, 0)).ok()) << "no audio off CD";
    EXPECT_FALSE(VrnDisc::create(dir / "dvd.vrn", medium::DvdPlusR, 2295104).ok()) << "exists";
    EXPECT_TRUE(VrnDisc::create(dir / "dvd.vrn", medium::DvdPlusR, 1000, true).ok());
    EXPECT_FALSE(VrnDisc::create(dir / "x.vrn", 0x3, 1000).ok());
    EXPECT_FALSE(VrnDisc::create(dir / "x.vrn", medium::CdR, 0).ok());
    EXPECT_FALSE(VrnDisc::create(dir / "missing" / "x.vrn", medium::CdR, 10).ok());
    // Nothing but the two containers was left behind: no temporary files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(VrnDisc, BlankBluRayCostsAlmostNothingOnDisk) {
    TempDir dir;
    const auto path = dir / "bd.vrn";
    VrnDisc disc = make(path, medium::BdR);
    EXPECT_EQ(std::filesystem::file_size(path), 1048576ull + 12219392ull * 2048);
    EXPECT_LT(allocatedBytes(path), 1024u * 1024u);
    // A block written at the far end allocates only around itself.
    ASSERT_TRUE(disc.appendTrack(dataTrack(0, 12219392)).ok());
    ASSERT_TRUE(disc.writeBlocks(12219391, pattern(2048, 3), 2048).ok());
    EXPECT_LT(allocatedBytes(path), 1024u * 1024u);
    std::vector<std::uint8_t> back(2048);
    ASSERT_TRUE(disc.readBlocks(12219391, back, 2048).ok());
    EXPECT_EQ(back, pattern(2048, 3));
    EXPECT_FALSE(disc.writeBlocks(12219392, back, 2048).ok()) << "past the capacity";
}

TEST(VrnDisc, BlocksOfEachSizeReadBackAfterReopening) {
    TempDir dir;
    const auto path = dir / "cd.vrn";
    {
        VrnDisc disc = make(path, medium::CdRw);
        ASSERT_TRUE(disc.appendTrack(dataTrack(0, 100, 150)).ok());
        TrackSpec m2 = dataTrack(100, 100);
        m2.mode = TrackMode::Mode2;
        m2.blockSize = 2336;
        ASSERT_TRUE(disc.appendTrack(m2).ok());
        ASSERT_TRUE(disc.appendTrack(audioTrack(350, 100)).ok());
        ASSERT_TRUE(disc.writeTrackBlocks(0, 10, pattern(5 * 2048, 1)).ok());
        ASSERT_TRUE(disc.writeTrackBlocks(1, 0, pattern(100 * 2336, 2)).ok());
        ASSERT_TRUE(disc.writeTrackBlocks(2, 99, pattern(2352, 3)).ok());
        // The pregap of an audio track holds audio too, addressed by block.
        ASSERT_TRUE(disc.writeBlocks(200, pattern(150 * 2352, 4), 2352).ok());
        EXPECT_FALSE(disc.writeTrackBlocks(0, 96, pattern(5 * 2048, 1)).ok()) << "past the track";
        EXPECT_FALSE(disc.writeTrackBlocks(0, 0, pattern(1000, 1)).ok()) << "not whole blocks";
        EXPECT_FALSE(disc.writeBlocks(0, pattern(1024, 1), 1024).ok()) << "odd block size";
        ASSERT_TRUE(disc.sync().ok());
    }
    auto reopened = VrnDisc::open(path, VrnDisc::Access::ReadOnly);
    ASSERT_TRUE(reopened.ok()) << reopened.error();
    const VrnDisc &d = reopened.value();
    std::vector<std::uint8_t> b(5 * 2048);
    ASSERT_TRUE(d.readTrackBlocks(0, 10, b).ok());
    EXPECT_EQ(b, pattern(5 * 2048, 1));
    b.resize(100 * 2336);
    ASSERT_TRUE(d.readTrackBlocks(1, 0, b).ok());
    EXPECT_EQ(b, pattern(100 * 2336, 2));
    b.resize(2352);
    ASSERT_TRUE(d.readTrackBlocks(2, 99, b).ok());
    EXPECT_EQ(b, pattern(2352, 3));
    b.resize(150 * 2352);
    ASSERT_TRUE(d.readBlocks(200, b, 2352).ok());
    EXPECT_EQ(b, pattern(150 * 2352, 4));
    b.assign(2048, 0xAA);
    ASSERT_TRUE(d.readTrackBlocks(0, 0, b).ok());
    EXPECT_EQ(b, std::vector<std::uint8_t>(2048, 0)) << "a block never written reads as zeros";
}

TEST(VrnDisc, SessionsFollowTheMediumsGaps) {
    TempDir dir;
    VrnDisc cd = make(dir / "cd.vrn", medium::CdR);
    EXPECT_EQ(cd.nextWritableAddress(), 0u);
    ASSERT_TRUE(cd.appendTrack(dataTrack(0, 1000, 150)).ok());
    ASSERT_TRUE(cd.writeTrackBlocks(0, 0, pattern(2048, 9)).ok());
    EXPECT_EQ(cd.nextWritableAddress(), 1000u) << "the open session continues";
    ASSERT_TRUE(cd.closeSession().ok());
    EXPECT_EQ(cd.state(), DiscState::Appendable);
    EXPECT_EQ(cd.nextWritableAddress(), 12250u) << "lead-out 6750 and lead-in 4500";
    EXPECT_EQ(cd.freeBlocks(), 360000u - 12250u);
    EXPECT_FALSE(cd.appendTrack(dataTrack(12300, 10, 100)).ok()) << "pregap inside the gap";
    EXPECT_FALSE(cd.writeBlocks(999, pattern(2048, 1), 2048).ok()) << "closed session of a CD-R";
    ASSERT_TRUE(cd.appendTrack(dataTrack(12400, 500, 150)).ok());
    ASSERT_TRUE(cd.closeSession().ok());
    EXPECT_EQ(cd.nextWritableAddress(), 12900u + 6750u) << "later sessions: 2250 and 4500";
    ASSERT_TRUE(cd.appendTrack(dataTrack(19800, 10, 150)).ok());
    EXPECT_EQ(cd.sessions().size(), 3u);
    EXPECT_EQ(cd.sessionExtent(1), (std::pair<std::uint32_t, std::uint32_t>(12250, 12900)));
    ASSERT_TRUE(cd.closeDisc().ok());
    EXPECT_EQ(cd.state(), DiscState::Closed);
    EXPECT_TRUE(cd.sessions().back().closed);
    EXPECT_FALSE(cd.nextWritableAddress());
    EXPECT_EQ(cd.freeBlocks(), 0u);
    EXPECT_FALSE(cd.appendTrack(dataTrack(30000, 10)).ok());
    EXPECT_FALSE(cd.writeBlocks(30000, pattern(2048, 1), 2048).ok());
    EXPECT_FALSE(cd.setMcn("0123456789012").ok());
    // Fault injection may still damage a block of a closed disc.
    EXPECT_TRUE(cd.writeBlocks(0, pattern(2048, 7), 2048, VrnDisc::WriteRule::Raw).ok());

    VrnDisc dvd = make(dir / "dvd.vrn", medium::DvdPlusR);
    ASSERT_TRUE(dvd.appendTrack(dataTrack(0, 5000)).ok());
    ASSERT_TRUE(dvd.closeSession().ok());
    EXPECT_EQ(dvd.nextWritableAddress(), 5000u) << "no lead-in gap off CD";
    ASSERT_TRUE(dvd.appendTrack(dataTrack(5000, 2290104)).ok());
    ASSERT_TRUE(dvd.closeSession().ok());
    EXPECT_FALSE(dvd.nextWritableAddress()) << "full";
    EXPECT_FALSE(dvd.appendTrack(dataTrack(2295104, 1)).ok());
}

TEST(VrnDisc, TracksGrowAndCompleteWhileBeingWritten) {
    TempDir dir;
    VrnDisc disc = make(dir / "cd.vrn", medium::CdR);
    TrackSpec t = dataTrack(0, 0, 150);
    t.flags = kTrackIncomplete;
    ASSERT_TRUE(disc.appendTrack(t).ok());
    EXPECT_FALSE(disc.setTrackFlags(0, 0).ok()) << "an empty track must stay incomplete";
    ASSERT_TRUE(disc.setTrackLength(0, 800).ok());
    ASSERT_TRUE(disc.setTrackFlags(0, kTrackCopyPermitted).ok());
    ASSERT_TRUE(disc.setTrackText(0, "GBAAA9900001", {"T", "P", "", "", "", ""}).ok());
    EXPECT_FALSE(disc.setTrackLength(0, 360001).ok());
    EXPECT_FALSE(disc.setTrackFlags(0, 0x100).ok());
    ASSERT_TRUE(disc.appendTrack(dataTrack(800, 10)).ok());
    EXPECT_FALSE(disc.setTrackLength(0, 900).ok()) << "only the last track grows";
    ASSERT_TRUE(disc.closeSession().ok());
    EXPECT_FALSE(disc.setTrackFlags(1, 0).ok()) << "a closed session does not change";

    auto back = VrnDisc::open(dir / "cd.vrn");
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back.value().tracks()[0].length, 800u);
    EXPECT_EQ(back.value().tracks()[0].flags, kTrackCopyPermitted);
    EXPECT_EQ(back.value().tracks()[0].isrc, "GBAAA9900001");
    EXPECT_EQ(back.value().tracks()[0].cdText.performer, "P");
}

TEST(VrnDisc, QuickEraseKeepsDataFullEraseClearsIt) {
    TempDir dir;
    const auto path = dir / "rw.vrn";
    VrnDisc disc = make(path, medium::CdRw);
    ASSERT_TRUE(disc.setMcn("0123456789012").ok());
    ASSERT_TRUE(disc.appendTrack(audioTrack(0, 3000)).ok());
    const auto audio = pattern(3000 * 2352, 5);
    ASSERT_TRUE(disc.writeTrackBlocks(0, 0, audio).ok());
    ASSERT_TRUE(disc.closeDisc().ok());
    const std::uint64_t written = allocatedBytes(path);
    EXPECT_GT(written, 3000u * 2352u);

    ASSERT_TRUE(disc.eraseQuick().ok());
    EXPECT_EQ(disc.state(), DiscState::Blank);
    EXPECT_TRUE(disc.tracks().empty());
    EXPECT_TRUE(disc.mcn().empty());
    std::vector<std::uint8_t> b(2352 * 3000);
    ASSERT_TRUE(disc.readBlocks(0, b, 2352).ok());
    EXPECT_EQ(b, audio) << "a quick erase leaves the data";
    EXPECT_EQ(disc.nextWritableAddress(), 0u);

    ASSERT_TRUE(disc.appendTrack(audioTrack(0, 10)).ok());
    ASSERT_TRUE(disc.eraseFull().ok());
    EXPECT_EQ(disc.state(), DiscState::Blank);
    ASSERT_TRUE(disc.readBlocks(0, b, 2352).ok());
    EXPECT_EQ(b, std::vector<std::uint8_t>(b.size(), 0)) << "a full erase clears the data";
    EXPECT_LT(allocatedBytes(path), 1024u * 1024u);
    EXPECT_EQ(std::filesystem::file_size(path), 1048576ull + 360000ull * 2352);
    auto reopened = VrnDisc::open(path);
    ASSERT_TRUE(reopened.ok()) << reopened.error();
    EXPECT_EQ(reopened.value().state(), DiscState::Blank);

    VrnDisc once = make(dir / "r.vrn", medium::BdR);
    EXPECT_FALSE(once.eraseQuick().ok());
    EXPECT_FALSE(once.eraseFull().ok());
}

TEST(VrnDisc, FailedCommitLeavesThePreviousDisc) {
    TempDir dir;
    const auto path = dir / "cd.vrn";
    VrnDisc disc = make(path, medium::CdR);
    ASSERT_TRUE(disc.appendTrack(audioTrack(0, 3000)).ok());
    const auto before = disc.tracks();
    const std::uint64_t generation = disc.generation();

    // The table write stops after 100 bytes, as a full disk or a crash would.
    disc.injectWriteFailure(100);
    auto failed = disc.appendTrack(audioTrack(3000, 1000, 0));
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().find("No space left"), std::string::npos) << failed.error();
    EXPECT_EQ(disc.tracks(), before) << "the object keeps its previous state";
    EXPECT_EQ(disc.generation(), generation);
    {
        auto reread = VrnDisc::open(path, VrnDisc::Access::ReadOnly);
        ASSERT_TRUE(reread.ok()) << reread.error();
        EXPECT_EQ(reread.value().tracks(), before);
        EXPECT_EQ(reread.value().generation(), generation);
    }
    EXPECT_FALSE(disc.writeBlocks(0, pattern(2352, 1), 2352).ok()) << "the fault lasts";

    // Once the fault is gone the same change goes through, and later ones too.
    disc.injectWriteFailure(std::nullopt);
    ASSERT_TRUE(disc.appendTrack(audioTrack(3000, 1000, 0)).ok());
    ASSERT_TRUE(disc.closeDisc().ok());
    auto after = VrnDisc::open(path);
    ASSERT_TRUE(after.ok()) << after.error();
    EXPECT_EQ(after.value().tracks().size(), 2u);
    EXPECT_EQ(after.value().state(), DiscState::Closed);

    // A byte flipped in the newest table on disk: the one before it is used.
    std::vector<std::uint8_t> headA = readBytes(path, 4096, 64), headB = readBytes(path, 135168, 64);
    const bool newestIsB = get64(headB, 8) > get64(headA, 8);
    {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(newestIsB ? 135168 + 30 : 4096 + 30);
        f.put('\x55');
    }
    auto fallback = VrnDisc::open(path);
    ASSERT_TRUE(fallback.ok()) << fallback.error();
    EXPECT_EQ(fallback.value().state(), DiscState::Appendable);
    EXPECT_EQ(fallback.value().tracks().size(), 2u);
}

TEST(VrnDisc, FileFollowsTheDocumentedLayout) {
    TempDir dir;
    const auto path = dir / "layout.vrn";
    {
        VrnDisc disc = make(path, medium::CdR);
        ASSERT_TRUE(disc.setMcn("4006381333931").ok());
        ASSERT_TRUE(disc.setCdText({"Disc", "Artist", "", "", "", "Note"}).ok());
        TrackSpec a = audioTrack(0, 3000);
        a.isrc = "USRC17607839";
        a.cdText.title = "One";
        a.cdText.arranger = "Arr";
        a.flags = kTrackCopyPermitted;
        ASSERT_TRUE(disc.appendTrack(a).ok());
        ASSERT_TRUE(disc.writeTrackBlocks(0, 2, pattern(2352, 43)).ok());
        ASSERT_TRUE(disc.closeSession().ok());
        TrackSpec d = dataTrack(14400, 20, 150);
        d.mode = TrackMode::Mode2Form1;
        d.blockSize = 2048;
        ASSERT_TRUE(disc.appendTrack(d).ok());
        ASSERT_TRUE(disc.writeTrackBlocks(1, 5, pattern(2048, 42)).ok());
    }
    // File header.
    const auto h = readBytes(path, 0, 4096);
    ASSERT_EQ(h.size(), 4096u);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 8), "VORNDISC");
    EXPECT_EQ(get32(h, 8), 1u);
    EXPECT_EQ(get32(h, 12), 4096u);
    EXPECT_EQ(get32(h, 16), 0x101u);
    EXPECT_EQ(get32(h, 20), 360000u);
    EXPECT_EQ(get32(h, 24), 2352u);
    const std::uint32_t slot = get32(h, 28);
    const std::uint64_t at[2] = {get64(h, 32), get64(h, 40)};
    const std::uint64_t data = get64(h, 48);
    EXPECT_EQ(get32(h, 124), crc(h.data(), 124));
    EXPECT_EQ(std::filesystem::file_size(path), data + 360000ull * 2352);

    // The newest table: five commits after the blank one.
    const auto ta = readBytes(path, at[0], slot), tb = readBytes(path, at[1], slot);
    const auto &t = get64(tb, 8) > get64(ta, 8) ? tb : ta;
    EXPECT_EQ(std::string(t.begin(), t.begin() + 8), "VRNTABLE");
    EXPECT_EQ(get64(t, 8), 6u);
    const std::uint32_t size = get32(t, 16);
    EXPECT_EQ(size, 1024u + 2 * 32 + 2 * 1024);
    std::vector<std::uint8_t> zeroed(t.begin(), t.begin() + size);
    put32(zeroed, 20, 0);
    EXPECT_EQ(get32(t, 20), crc(zeroed.data(), zeroed.size()));
    EXPECT_EQ(get32(t, 24), 1u);
    EXPECT_EQ(get32(t, 32), 2u);
    EXPECT_EQ(get32(t, 36), 2u);
    EXPECT_EQ(getText(t, 48, 16), "4006381333931");
    EXPECT_EQ(getText(t, 64, 160), "Disc");
    EXPECT_EQ(getText(t, 64 + 160, 160), "Artist");
    EXPECT_EQ(getText(t, 64 + 800, 160), "Note");
    // Sessions.
    EXPECT_EQ(get32(t, 1024), 1u);
    EXPECT_EQ(get32(t, 1024 + 4), 1u);
    EXPECT_EQ(get32(t, 1024 + 8), 1u);
    EXPECT_EQ(get32(t, 1024 + 12), 1u);
    EXPECT_EQ(get32(t, 1056), 2u);
    EXPECT_EQ(get32(t, 1056 + 4), 2u);
    EXPECT_EQ(get32(t, 1056 + 12), 0u);
    // Tracks.
    const std::size_t t1 = 1024 + 64, t2 = t1 + 1024;
    EXPECT_EQ(get32(t, t1 + 0), 1u);
    EXPECT_EQ(get32(t, t1 + 8), 2u);
    EXPECT_EQ(get32(t, t1 + 12), 0u);
    EXPECT_EQ(get32(t, t1 + 16), 2352u);
    EXPECT_EQ(get32(t, t1 + 24), 3000u);
    EXPECT_EQ(get32(t, t1 + 28), 150u);
    EXPECT_EQ(get32(t, t1 + 32), 1u);
    EXPECT_EQ(std::string(t.begin() + t1 + 36, t.begin() + t1 + 48), "USRC17607839");
    EXPECT_EQ(getText(t, t1 + 64, 160), "One");
    EXPECT_EQ(getText(t, t1 + 64 + 640, 160), "Arr");
    EXPECT_EQ(get32(t, t2 + 4), 2u);
    EXPECT_EQ(get32(t, t2 + 8), 1u);
    EXPECT_EQ(get32(t, t2 + 12), 3u);
    EXPECT_EQ(get32(t, t2 + 16), 2048u);
    EXPECT_EQ(get32(t, t2 + 20), 14400u);
    EXPECT_EQ(get32(t, t2 + 24), 20u);
    // Blocks sit at data offset + address x slot size.
    EXPECT_EQ(readBytes(path, data + (14400 + 5) * 2352ull, 2048), pattern(2048, 42));
    EXPECT_EQ(readBytes(path, data + 2 * 2352ull, 2352), pattern(2352, 43));
}

TEST(VrnDisc, SecondHandleNeverOverwritesAnotherCommit) {
    TempDir dir;
    const auto path = dir / "cd.vrn";
    { VrnDisc disc = make(path, medium::CdR); }
    auto first = VrnDisc::open(path), second = VrnDisc::open(path);
    ASSERT_TRUE(first.ok() && second.ok());
    ASSERT_TRUE(second.value().appendTrack(audioTrack(0, 100)).ok());
    auto stale = first.value().setMcn("0123456789012");
    ASSERT_FALSE(stale.ok());
    EXPECT_NE(stale.error().find("changed by another program"), std::string::npos) << stale.error();
    auto fresh = VrnDisc::open(path);
    ASSERT_TRUE(fresh.ok());
    EXPECT_EQ(fresh.value().tracks().size(), 1u);
    EXPECT_TRUE(fresh.value().setMcn("0123456789012").ok());
}
