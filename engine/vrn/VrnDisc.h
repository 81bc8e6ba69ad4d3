// The .vrn disc container: one file that holds a whole disc.
//
// It is the state of an emulated disc (the emulated drives read and write it as
// the disc in their tray) and the image format the image recorder writes for a
// ".vrn" file name. The byte layout is documented in docs/vrn-format.md.
//
// A container has a fixed file header (medium, capacity, where things are),
// two table slots used in turn (disc header, sessions, tracks) and a data area
// with one slot per block of the disc, addressed by block number. Blocks never
// written are holes in a sparse file, so a blank 25 GB disc costs a few
// kilobytes on disk.
//
// Every call that changes the tables commits them before it returns: the new
// table goes into the slot not holding the current one, is synced, and only
// then counts. A crash or a failed write at any moment leaves the previous
// table readable. When a commit fails, the object keeps its previous state.
//
// Several handles may have one file open; a commit made through one of them
// makes the others refuse to commit until they are opened again, so that no
// change is lost. A VrnDisc is used by one thread at a time. No
// function throws: failures come back as a Result carrying a message that
// names what is wrong.
#ifndef VORN_VRN_VRNDISC_H
#define VORN_VRN_VRNDISC_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vorn::vrn {

// ---------------------------------------------------------------------------
// Results

struct Error {
    std::string message;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T &value() & { return std::get<0>(v_); }
    const T &value() const & { return std::get<0>(v_); }
    T &&value() && { return std::get<0>(std::move(v_)); }
    // Empty when ok().
    const std::string &error() const {
        static const std::string none;
        return ok() ? none : std::get<1>(v_).message;
    }

private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error.message)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string &error() const { return error_; }

private:
    std::string error_;
    bool failed_ = false;
};

using Status = Result<void>;

// ---------------------------------------------------------------------------
// Media: the engine's single medium values.

namespace medium {
inline constexpr std::uint32_t DDCD = 0x2;
inline constexpr std::uint32_t DvdRam = 0x10;
inline constexpr std::uint32_t CdRw = 0x81;
inline constexpr std::uint32_t CdR = 0x101;
inline constexpr std::uint32_t DvdRom = 0x200;
inline constexpr std::uint32_t CdRom = 0x400;
inline constexpr std::uint32_t DvdMinusR = 0x804;
inline constexpr std::uint32_t DvdMinusRw = 0x1004;
inline constexpr std::uint32_t DvdPlusR = 0x2008;
inline constexpr std::uint32_t DvdPlusRw = 0x4008;
inline constexpr std::uint32_t Densepack = 0x20000;
inline constexpr std::uint32_t DvdPlusRDl = 0x40000;
inline constexpr std::uint32_t DvdMinusRDl = 0x80000;
inline constexpr std::uint32_t BdRom = 0x100000;
inline constexpr std::uint32_t BdR = 0x200000;
inline constexpr std::uint32_t BdRe = 0x400000;
inline constexpr std::uint32_t HdDvdRom = 0x800000;
inline constexpr std::uint32_t HdDvdR = 0x1000000;
inline constexpr std::uint32_t HdDvdRw = 0x2000000;

// True for the values above and no others.
bool isKnown(std::uint32_t value);
// CD, DDCD and Densepack: tracks of 2048, 2336 or 2352-byte blocks, audio.
bool isCd(std::uint32_t value);
// Media that can be erased: CD-RW, DVD-RAM, DVD-RW, DVD+RW, BD-RE, HD DVD-RW.
bool isRewritable(std::uint32_t value);
// Pressed media: CD-ROM, DVD-ROM, BD-ROM, HD DVD-ROM.
bool isRom(std::uint32_t value);
// The nominal capacity in blocks of a single-layer (or the named double-layer)
// disc of this medium: 360000 for an 80-minute CD, 2298496 for DVD-R,
// 12219392 for BD-R, and so on. 0 for an unknown value.
std::uint32_t nominalCapacity(std::uint32_t value);
}  // namespace medium

// ---------------------------------------------------------------------------
// Disc and track description

enum class DiscState : std::uint32_t {
    Blank = 0,       // no track
    Appendable = 1,  // tracks, and room for more (an open session or a new one)
    Closed = 2,      // finalized: nothing more can be written
};

enum class TrackType : std::uint32_t { Data = 1, Audio = 2 };

enum class TrackMode : std::uint32_t {
    Audio = 0,      // 2352-byte audio blocks
    Mode1 = 1,      // data, 2048 user bytes (2352 raw)
    Mode2 = 2,      // formless mode 2, 2336 user bytes (2352 raw)
    Mode2Form1 = 3, // XA form 1, 2048 user bytes (2336 or 2352 raw)
    Mode2Form2 = 4, // XA form 2, 2324 user bytes (2336 or 2352 raw)
};

// Track flag bits.
inline constexpr std::uint32_t kTrackCopyPermitted = 0x1;  // the copy bit
inline constexpr std::uint32_t kTrackPreEmphasis = 0x2;    // audio pre-emphasis
inline constexpr std::uint32_t kTrackIncomplete = 0x4;     // being written, or a write that
                                                           // stopped: not readable as a track
inline constexpr std::uint32_t kTrackKnownFlags = 0x7;

// CD-Text of the disc or of one track, ISO-8859-1, each at most
// kCdTextFieldMax bytes with no NUL inside.
struct CdText {
    std::string title;
    std::string performer;
    std::string songwriter;
    std::string composer;
    std::string arranger;
    std::string message;

    bool empty() const;
    bool operator==(const CdText &) const = default;
};
inline constexpr std::size_t kCdTextFieldMax = 159;

// What the writer of a track says about it.
struct TrackSpec {
    TrackType type = TrackType::Data;
    TrackMode mode = TrackMode::Mode1;
    std::uint32_t blockSize = 2048;  // 2048, 2336 or 2352; only 2048 off CD
    std::uint32_t start = 0;         // first block of the track proper (index 1)
    std::uint32_t length = 0;        // blocks from start
    std::uint32_t pregap = 0;        // blocks before start that belong to the track;
                                     // for the first track of a disc they may lie
                                     // before block 0 (the usual 150)
    std::string isrc;                // empty or 12 characters A-Z, 0-9
    CdText cdText;
    std::uint32_t flags = 0;         // kTrack* bits

    bool operator==(const TrackSpec &) const = default;
};

struct Track : TrackSpec {
    std::uint32_t number = 0;   // 1-based over the disc
    std::uint32_t session = 0;  // 1-based

    // First block past the track.
    std::uint32_t end() const { return start + length; }
    bool operator==(const Track &) const = default;
};

struct Session {
    std::uint32_t number = 0;      // 1-based
    std::uint32_t firstTrack = 0;  // number of its first track
    std::uint32_t trackCount = 0;
    bool closed = false;           // a lead-out was written

    bool operator==(const Session &) const = default;
};

inline constexpr std::uint32_t kMaxTracks = 99;
inline constexpr std::uint32_t kMaxSessions = 99;

// ---------------------------------------------------------------------------
// The container

class VrnDisc {
public:
    enum class Access { ReadOnly, ReadWrite };

    // Rules a block write obeys. Medium: a write-once disc refuses blocks of a
    // closed session and everything on a closed disc. Raw: only the capacity
    // counts (fault injection, such as corrupting a written block).
    enum class WriteRule { Medium, Raw };

    // Makes a blank disc of `mediumValue` with `capacityBlocks` blocks at
    // `path`. The file is built under a temporary name beside it and renamed
    // into place; an existing file is replaced only when `replace` is true.
    static Result<VrnDisc> create(const std::filesystem::path &path, std::uint32_t mediumValue,
                                  std::uint32_t capacityBlocks, bool replace = false);

    // Opens and validates a container. A damaged newer table falls back to the
    // older one; a file with no valid table is refused.
    static Result<VrnDisc> open(const std::filesystem::path &path,
                                Access access = Access::ReadWrite);

    // Validates the beginning of a container held in memory (at least up to
    // its data area) as open() would, for a file of `fileSize` bytes.
    static Status validate(std::span<const std::uint8_t> head, std::uint64_t fileSize);

    VrnDisc(VrnDisc &&other) noexcept;
    VrnDisc &operator=(VrnDisc &&other) noexcept;
    VrnDisc(const VrnDisc &) = delete;
    VrnDisc &operator=(const VrnDisc &) = delete;
    ~VrnDisc();

    // --- What is on the disc
    const std::filesystem::path &path() const { return path_; }
    bool writable() const { return access_ == Access::ReadWrite; }
    std::uint32_t mediumType() const { return medium_; }
    std::uint32_t capacity() const { return capacity_; }
    // Bytes of the data area per block: 2352 on CD media, 2048 elsewhere.
    std::uint32_t slotSize() const { return slotSize_; }
    DiscState state() const { return table_.state; }
    std::uint32_t bookType() const { return table_.bookType; }  // 0 unset, 1-7
    const std::string &mcn() const { return table_.mcn; }       // "" or 13 digits
    const CdText &cdText() const { return table_.cdText; }
    const std::vector<Session> &sessions() const { return table_.sessions; }
    const std::vector<Track> &tracks() const { return table_.tracks; }
    // Incremented by every commit of the tables.
    std::uint64_t generation() const { return table_.generation; }

    bool hasOpenSession() const;
    // The first block the next track (its pregap first) may use: the end of
    // the last track while a session is open; nullopt on a closed or full disc.
    // On CD a closed session is followed by its lead-out and the next lead-in,
    // 11250 blocks after the first session (6750 + 4500) and 6750 after later
    // ones (2250 + 4500); other media continue directly.
    std::optional<std::uint32_t> nextWritableAddress() const;
    // Blocks left from the next writable address to the capacity.
    std::uint32_t freeBlocks() const;
    // First block of a session, its pregap included (never below 0), and the
    // first block past it.
    std::pair<std::uint32_t, std::uint32_t> sessionExtent(std::size_t sessionIndex) const;

    // --- Changing the tables (each commits before returning)
    Status setBookType(std::uint32_t bookType);
    Status setMcn(std::string_view mcn);
    Status setCdText(const CdText &text);

    // Adds a track to the open session, opening a new one when none is.
    // Its pregap must begin at or after nextWritableAddress() (the first
    // track of a disc may reach below block 0) and it must fit the capacity.
    // Returns the index of the new track in tracks().
    Result<std::size_t> appendTrack(const TrackSpec &trackSpec);
    // The last track only: its length, while or after writing it.
    Status setTrackLength(std::size_t index, std::uint32_t length);
    // Any track of the open session: flags (kTrackKnownFlags), ISRC, CD-Text.
    Status setTrackFlags(std::size_t index, std::uint32_t flags);
    Status setTrackText(std::size_t index, std::string_view isrc, const CdText &text);

    // Closes the open session; the disc stays appendable.
    Status closeSession();
    // Closes the open session, if any, and finalizes the disc.
    Status closeDisc();

    // Rewritable media only. Quick: the table of contents is blanked, the data
    // stays where it was. Full: the table is blanked, then every block reads
    // as zeros again (and the file gives its space back).
    Status eraseQuick();
    Status eraseFull();

    // --- Blocks
    // `data` holds whole blocks of `blockSize` bytes (2048, 2336 or 2352, at
    // most slotSize()), written at `lba` onwards. A block shorter than the
    // slot leaves the rest of the slot as it was.
    Status writeBlocks(std::uint32_t lba, std::span<const std::uint8_t> data,
                       std::uint32_t blockSize, WriteRule rule = WriteRule::Medium);
    // Reads whole blocks; a block never written reads as zeros.
    Status readBlocks(std::uint32_t lba, std::span<std::uint8_t> out,
                      std::uint32_t blockSize) const;
    // The same inside one track, in its block size; `first` counts from the
    // track's start, and the blocks must lie within its length.
    Status writeTrackBlocks(std::size_t index, std::uint32_t first,
                            std::span<const std::uint8_t> data);
    Status readTrackBlocks(std::size_t index, std::uint32_t first,
                           std::span<std::uint8_t> out) const;
    // Makes written blocks durable.
    Status sync();

    // --- Fault injection for tests and the engine's control interface
    // After `bytes` more bytes have gone to the file (blocks or tables), every
    // write fails as a full disk would. nullopt turns it off.
    void injectWriteFailure(std::optional<std::uint64_t> bytes);

    // The tables as committed; public so that the format code can share it.
    struct Table {
        std::uint64_t generation = 0;
        DiscState state = DiscState::Blank;
        std::uint32_t bookType = 0;
        std::string mcn;
        CdText cdText;
        std::vector<Session> sessions;
        std::vector<Track> tracks;
    };

private:
    VrnDisc() = default;
    Status commit(Table next);
    Status writeAll(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t blockOffset(std::uint32_t lba) const;
    void closeFd() noexcept;

    std::filesystem::path path_;
    int fd_ = -1;
    Access access_ = Access::ReadOnly;
    std::uint32_t medium_ = 0;
    std::uint32_t capacity_ = 0;
    std::uint32_t slotSize_ = 0;
    std::uint64_t tableOffset_[2] = {0, 0};
    std::uint32_t tableSlotBytes_ = 0;
    std::uint64_t dataOffset_ = 0;
    int activeSlot_ = 0;  // slot holding the current table
    Table table_;
    std::optional<std::uint64_t> failAfter_;
};

}  // namespace vorn::vrn

#endif
