#include "VrnDisc.h"

#include "VrnFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::vrn {

namespace {

Error err(std::string message) { return Error{std::move(message)}; }

Error sysErr(const std::string &what, int code) {
    return Error{what + ": " + std::strerror(code)};
}

// Full pread: short reads past the end of the file give zeros.
bool readAll(int fd, std::uint64_t offset, std::span<std::uint8_t> out, int &code) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            code = errno;
            return false;
        }
        if (n == 0) {
            std::fill(out.begin() + done, out.end(), 0);
            return true;
        }
        done += std::size_t(n);
    }
    return true;
}

std::string hex(std::uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
}

}  // namespace

// ---------------------------------------------------------------------------
// Media

namespace medium {

bool isKnown(std::uint32_t v) {
    switch (v) {
    case DDCD: case DvdRam: case CdRw: case CdR: case DvdRom: case CdRom: case DvdMinusR:
    case DvdMinusRw: case DvdPlusR: case DvdPlusRw: case Densepack: case DvdPlusRDl:
    case DvdMinusRDl: case BdRom: case BdR: case BdRe: case HdDvdRom: case HdDvdR: case HdDvdRw:
        return true;
    default:
        return false;
    }
}

bool isCd(std::uint32_t v) {
    return v == CdR || v == CdRw || v == CdRom || v == DDCD || v == Densepack;
}

bool isRewritable(std::uint32_t v) {
    return v == CdRw || v == DvdRam || v == DvdMinusRw || v == DvdPlusRw || v == BdRe ||
           v == HdDvdRw;
}

bool isRom(std::uint32_t v) { return v == CdRom || v == DvdRom || v == BdRom || v == HdDvdRom; }

std::uint32_t nominalCapacity(std::uint32_t v) {
    switch (v) {
    case CdR: case CdRw: case CdRom: return 360000;      // 80 minutes
    case DDCD: case Densepack: return 666000;            // 1.3 GB
    case DvdRam: return 2236704;
    case DvdRom: case DvdMinusR: case DvdMinusRw: return 2298496;
    case DvdPlusR: case DvdPlusRw: return 2295104;
    case DvdPlusRDl: return 4173824;
    case DvdMinusRDl: return 4171712;
    case BdRom: case BdR: case BdRe: return 12219392;    // 25 GB
    case HdDvdRom: case HdDvdR: case HdDvdRw: return 7335856;  // 15 GB
    default: return 0;
    }
}

}  // namespace medium

bool CdText::empty() const {
    return title.empty() && performer.empty() && songwriter.empty() && composer.empty() &&
           arranger.empty() && message.empty();
}

// ---------------------------------------------------------------------------
// Life cycle

VrnDisc::VrnDisc(VrnDisc &&o) noexcept { *this = std::move(o); }

VrnDisc &VrnDisc::operator=(VrnDisc &&o) noexcept {
    if (this != &o) {
        closeFd();
        path_ = std::move(o.path_);
        fd_ = std::exchange(o.fd_, -1);
        access_ = o.access_;
        medium_ = o.medium_;
        capacity_ = o.capacity_;
        slotSize_ = o.slotSize_;
        tableOffset_[0] = o.tableOffset_[0];
        tableOffset_[1] = o.tableOffset_[1];
        tableSlotBytes_ = o.tableSlotBytes_;
        dataOffset_ = o.dataOffset_;
        activeSlot_ = o.activeSlot_;
        table_ = std::move(o.table_);
        failAfter_ = o.failAfter_;
    }
    return *this;
}

VrnDisc::~VrnDisc() { closeFd(); }

void VrnDisc::closeFd() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Result<VrnDisc> VrnDisc::create(const std::filesystem::path &path, std::uint32_t mediumValue,
                                std::uint32_t capacityBlocks, bool replace) {
    if (!medium::isKnown(mediumValue))
        return err("cannot create " + path.string() + ": unknown medium type " + hex(mediumValue));
    if (capacityBlocks == 0 || capacityBlocks > format::kMaxCapacity)
        return err("cannot create " + path.string() + ": a capacity of " +
                   std::to_string(capacityBlocks) + " blocks is out of range");
    std::error_code ec;
    if (!replace && std::filesystem::symlink_status(path, ec).type() !=
                        std::filesystem::file_type::not_found)
        return err("cannot create " + path.string() + ": the file exists");

    format::FileHeader h;
    h.medium = mediumValue;
    h.capacity = capacityBlocks;
    h.slotSize = format::slotSizeFor(mediumValue);

    // Built beside its final name, then renamed: nobody ever sees half a container.
    std::random_device rd;
    std::filesystem::path temp =
        path.parent_path() / ("." + path.filename().string() + ".tmp-" + std::to_string(rd()));
    const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return sysErr("cannot create " + temp.string(), errno);

    VrnDisc disc;
    disc.path_ = temp;
    disc.fd_ = fd;
    disc.access_ = Access::ReadWrite;
    disc.medium_ = h.medium;
    disc.capacity_ = h.capacity;
    disc.slotSize_ = h.slotSize;
    disc.tableOffset_[0] = h.tableOffset[0];
    disc.tableOffset_[1] = h.tableOffset[1];
    disc.tableSlotBytes_ = h.tableSlotBytes;
    disc.dataOffset_ = h.dataOffset;
    disc.activeSlot_ = 1;  // so that the first table goes to slot A

    auto fail = [&](const std::string &message) -> Result<VrnDisc> {
        disc.closeFd();
        ::unlink(temp.c_str());
        return err("cannot create " + path.string() + ": " + message);
    };
    if (::ftruncate(fd, off_t(h.fileSize())) != 0) return fail(std::strerror(errno));
    if (auto st = disc.writeAll(0, format::serializeFileHeader(h)); !st) return fail(st.error());
    if (auto st = disc.commit(Table{}); !st) return fail(st.error());
    if (::fsync(fd) != 0) return fail(std::strerror(errno));
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(std::strerror(errno));
    disc.path_ = path;
    return disc;
}

Status VrnDisc::validate(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    auto h = format::parseFileHeader(head, fileSize);
    if (!h) return Error{h.error()};
    const format::FileHeader &fh = h.value();
    std::string why[2];
    std::uint64_t gen[2] = {0, 0};
    bool good[2] = {false, false};
    for (int i = 0; i < 2; ++i) {
        if (fh.tableOffset[i] + format::kTableFixed > head.size()) {
            why[i] = "truncated";
            continue;
        }
        auto slot = head.subspan(fh.tableOffset[i],
                                 std::min<std::uint64_t>(fh.tableSlotBytes,
                                                         head.size() - fh.tableOffset[i]));
        auto st = format::checkTableSlot(slot, fh.tableSlotBytes, gen[i]);
        good[i] = st.ok();
        why[i] = st.error();
    }
    if (!good[0] && !good[1]) return err("no valid table: A: " + why[0] + "; B: " + why[1]);
    const int use = (good[1] && (!good[0] || gen[1] > gen[0])) ? 1 : 0;
    auto t = format::parseTable(head.subspan(fh.tableOffset[use]), fh);
    if (!t) return err(std::string("table ") + char('A' + use) + ": " + t.error());
    return {};
}

Result<VrnDisc> VrnDisc::open(const std::filesystem::path &path, Access access) {
    const std::string name = path.string();
    const int fd = ::open(path.c_str(), (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return sysErr("cannot open " + name, errno);
    VrnDisc disc;
    disc.path_ = path;
    disc.fd_ = fd;
    disc.access_ = access;

    struct stat st {};
    if (::fstat(fd, &st) != 0) return sysErr("cannot open " + name, errno);
    if (!S_ISREG(st.st_mode)) return err(name + ": not a regular file");
    int code = 0;
    std::vector<std::uint8_t> head(format::kHeaderSize);
    if (!readAll(fd, 0, head, code)) return sysErr("cannot read " + name, code);
    auto h = format::parseFileHeader(head, std::uint64_t(st.st_size));
    if (!h) return err(name + ": " + h.error());
    const format::FileHeader &fh = h.value();

    // Both slots are read (their size is bounded by the header check), the
    // newest whole one is used.
    std::vector<std::uint8_t> slot[2];
    std::string why[2];
    std::uint64_t gen[2] = {0, 0};
    bool good[2] = {false, false};
    for (int i = 0; i < 2; ++i) {
        slot[i].resize(fh.tableSlotBytes);
        if (!readAll(fd, fh.tableOffset[i], slot[i], code)) return sysErr("cannot read " + name, code);
        auto s = format::checkTableSlot(slot[i], fh.tableSlotBytes, gen[i]);
        good[i] = s.ok();
        why[i] = s.error();
    }
    if (!good[0] && !good[1])
        return err(name + ": no valid table: A: " + why[0] + "; B: " + why[1]);
    const int use = (good[1] && (!good[0] || gen[1] > gen[0])) ? 1 : 0;
    auto t = format::parseTable(slot[use], fh);
    if (!t) return err(name + ": table " + char('A' + use) + ": " + t.error());

    disc.medium_ = fh.medium;
    disc.capacity_ = fh.capacity;
    disc.slotSize_ = fh.slotSize;
    disc.tableOffset_[0] = fh.tableOffset[0];
    disc.tableOffset_[1] = fh.tableOffset[1];
    disc.tableSlotBytes_ = fh.tableSlotBytes;
    disc.dataOffset_ = fh.dataOffset;
    disc.activeSlot_ = use;
    disc.table_ = std::move(t.value());
    return disc;
}

// ---------------------------------------------------------------------------
// Writing

void VrnDisc::injectWriteFailure(std::optional<std::uint64_t> bytes) { failAfter_ = bytes; }

Status VrnDisc::writeAll(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t allowed = bytes.size();
    if (failAfter_) allowed = std::size_t(std::min<std::uint64_t>(*failAfter_, bytes.size()));
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, allowed - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return sysErr("cannot write " + path_.string(), errno);
        }
        done += std::size_t(n);
    }
    if (failAfter_) {
        *failAfter_ -= allowed;
        if (allowed < bytes.size())
            return sysErr("cannot write " + path_.string(), ENOSPC);
    }
    return {};
}

Status VrnDisc::commit(Table next) {
    if (fd_ < 0 || access_ != Access::ReadWrite)
        return err(path_.string() + ": the disc is open for reading only");
    // Another handle (another program editing the same disc) may have
    // committed since this one read the table; writing over its change would
    // lose it silently.
    std::uint64_t newest = 0;
    std::vector<std::uint8_t> slot(tableSlotBytes_);
    for (int i = 0; i < 2; ++i) {
        int code = 0;
        if (!readAll(fd_, tableOffset_[i], slot, code)) return sysErr("cannot read " + path_.string(), code);
        std::uint64_t generation = 0;
        if (format::checkTableSlot(slot, tableSlotBytes_, generation).ok())
            newest = std::max(newest, generation);
    }
    if (newest != table_.generation)
        return err(path_.string() + ": the disc was changed by another program; open it again");
    next.generation = table_.generation + 1;
    const std::vector<std::uint8_t> bytes = format::serializeTable(next);
    if (bytes.size() > tableSlotBytes_)
        return err(path_.string() + ": the table does not fit its slot");
    const int target = 1 - activeSlot_;
    if (auto st = writeAll(tableOffset_[target], bytes); !st) return st;
    if (::fdatasync(fd_) != 0) return sysErr("cannot write " + path_.string(), errno);
    activeSlot_ = target;
    table_ = std::move(next);
    return {};
}

bool VrnDisc::hasOpenSession() const {
    return !table_.sessions.empty() && !table_.sessions.back().closed;
}

std::pair<std::uint32_t, std::uint32_t> VrnDisc::sessionExtent(std::size_t i) const {
    if (i >= table_.sessions.size()) return {0, 0};
    const Session &s = table_.sessions[i];
    const Track &first = table_.tracks[s.firstTrack - 1];
    const Track &last = table_.tracks[s.firstTrack + s.trackCount - 2];
    const std::uint32_t from = first.start > first.pregap ? first.start - first.pregap : 0;
    return {from, last.end()};
}

std::optional<std::uint32_t> VrnDisc::nextWritableAddress() const {
    if (table_.state == DiscState::Closed) return std::nullopt;
    std::uint64_t next = 0;
    if (!table_.tracks.empty()) {
        next = table_.tracks.back().end();
        if (!hasOpenSession() && medium::isCd(medium_))
            next += (table_.sessions.size() == 1 ? 6750 : 2250) + 4500;
    }
    if (next >= capacity_) return std::nullopt;
    return std::uint32_t(next);
}

std::uint32_t VrnDisc::freeBlocks() const {
    const auto next = nextWritableAddress();
    return next ? capacity_ - *next : 0;
}

namespace {
Error refuse(const std::filesystem::path &p, const std::string &why) {
    return err(p.string() + ": " + why);
}
}  // namespace

Status VrnDisc::setBookType(std::uint32_t bookType) {
    if (bookType > 7) return refuse(path_, "book type " + std::to_string(bookType) + " (0 to 7 expected)");
    Table next = table_;
    next.bookType = bookType;
    return commit(std::move(next));
}

Status VrnDisc::setMcn(std::string_view mcn) {
    if (auto st = format::checkMcn(mcn); !st) return refuse(path_, st.error());
    if (table_.state == DiscState::Closed) return refuse(path_, "the disc is closed");
    Table next = table_;
    next.mcn = std::string(mcn);
    return commit(std::move(next));
}

Status VrnDisc::setCdText(const CdText &text) {
    if (auto st = format::checkCdText(text, "the disc's"); !st) return refuse(path_, st.error());
    if (table_.state == DiscState::Closed) return refuse(path_, "the disc is closed");
    Table next = table_;
    next.cdText = text;
    return commit(std::move(next));
}

Result<std::size_t> VrnDisc::appendTrack(const TrackSpec &trackSpec) {
    if (auto st = format::checkTrackSpec(trackSpec, medium_, slotSize_); !st)
        return refuse(path_, "cannot add the track: " + st.error());
    if (table_.state == DiscState::Closed) return refuse(path_, "cannot add a track: the disc is closed");
    if (table_.tracks.size() >= kMaxTracks)
        return refuse(path_, "cannot add a track: the disc has " + std::to_string(kMaxTracks) + " already");
    const bool newSession = !hasOpenSession();
    if (newSession && table_.sessions.size() >= kMaxSessions)
        return refuse(path_, "cannot add a session: the disc has " + std::to_string(kMaxSessions) + " already");
    const auto nwa = nextWritableAddress();
    if (!nwa) return refuse(path_, "cannot add a track: the disc is full");
    const std::int64_t pregapStart = std::int64_t(trackSpec.start) - trackSpec.pregap;
    const bool first = table_.tracks.empty();
    if (first ? pregapStart < -150 : pregapStart < std::int64_t(*nwa))
        return refuse(path_, "cannot add a track at block " + std::to_string(trackSpec.start) +
                                 " with a pregap of " + std::to_string(trackSpec.pregap) +
                                 ": the next writable block is " + std::to_string(*nwa));
    if (std::uint64_t(trackSpec.start) + trackSpec.length > capacity_)
        return refuse(path_, "cannot add a track of " + std::to_string(trackSpec.length) +
                                 " blocks at block " + std::to_string(trackSpec.start) +
                                 ": the disc holds " + std::to_string(capacity_));
    Table next = table_;
    Track track;
    static_cast<TrackSpec &>(track) = trackSpec;
    track.number = std::uint32_t(next.tracks.size() + 1);
    if (newSession)
        next.sessions.push_back(Session{std::uint32_t(next.sessions.size() + 1), track.number, 0, false});
    next.sessions.back().trackCount++;
    track.session = next.sessions.back().number;
    next.tracks.push_back(std::move(track));
    next.state = DiscState::Appendable;
    if (auto st = commit(std::move(next)); !st) return Error{st.error()};
    return table_.tracks.size() - 1;
}

Status VrnDisc::setTrackLength(std::size_t index, std::uint32_t length) {
    if (index + 1 != table_.tracks.size() || !hasOpenSession())
        return refuse(path_, "only the last track of an open session can change its length");
    const Track &k = table_.tracks[index];
    if (std::uint64_t(k.start) + length > capacity_)
        return refuse(path_, "a track of " + std::to_string(length) + " blocks at block " +
                                 std::to_string(k.start) + " does not fit the disc");
    if (length == 0 && !(k.flags & kTrackIncomplete))
        return refuse(path_, "a complete track cannot have 0 blocks");
    Table next = table_;
    next.tracks[index].length = length;
    return commit(std::move(next));
}

Status VrnDisc::setTrackFlags(std::size_t index, std::uint32_t flags) {
    if (index >= table_.tracks.size() || !hasOpenSession() ||
        table_.tracks[index].session != table_.sessions.back().number)
        return refuse(path_, "only a track of the open session can change");
    if (flags & ~kTrackKnownFlags) return refuse(path_, "unknown track flags " + hex(flags));
    if (table_.tracks[index].length == 0 && !(flags & kTrackIncomplete))
        return refuse(path_, "a track of 0 blocks must stay incomplete");
    Table next = table_;
    next.tracks[index].flags = flags;
    return commit(std::move(next));
}

Status VrnDisc::setTrackText(std::size_t index, std::string_view isrc, const CdText &text) {
    if (index >= table_.tracks.size() || !hasOpenSession() ||
        table_.tracks[index].session != table_.sessions.back().number)
        return refuse(path_, "only a track of the open session can change");
    if (auto st = format::checkIsrc(isrc); !st) return refuse(path_, st.error());
    if (auto st = format::checkCdText(text, "the track's"); !st) return refuse(path_, st.error());
    Table next = table_;
    next.tracks[index].isrc = std::string(isrc);
    next.tracks[index].cdText = text;
    return commit(std::move(next));
}

Status VrnDisc::closeSession() {
    if (!hasOpenSession()) return refuse(path_, "there is no open session to close");
    Table next = table_;
    next.sessions.back().closed = true;
    return commit(std::move(next));
}

Status VrnDisc::closeDisc() {
    if (table_.state == DiscState::Closed) return refuse(path_, "the disc is closed already");
    if (table_.tracks.empty()) return refuse(path_, "a blank disc cannot be closed");
    Table next = table_;
    next.sessions.back().closed = true;
    next.state = DiscState::Closed;
    return commit(std::move(next));
}

Status VrnDisc::eraseQuick() {
    if (!medium::isRewritable(medium_))
        return refuse(path_, "medium " + hex(medium_) + " cannot be erased");
    Table next;
    next.bookType = table_.bookType;  // a property of the medium, not of its contents
    return commit(std::move(next));
}

Status VrnDisc::eraseFull() {
    if (auto st = eraseQuick(); !st) return st;
    // The table says blank already; dropping the data area and growing the
    // file again turns every block into a hole that reads as zeros.
    if (::ftruncate(fd_, off_t(dataOffset_)) != 0 ||
        ::ftruncate(fd_, off_t(dataOffset_ + std::uint64_t(capacity_) * slotSize_)) != 0)
        return sysErr("cannot clear " + path_.string(), errno);
    if (::fdatasync(fd_) != 0) return sysErr("cannot clear " + path_.string(), errno);
    return {};
}

// ---------------------------------------------------------------------------
// Blocks

std::uint64_t VrnDisc::blockOffset(std::uint32_t lba) const {
    return dataOffset_ + std::uint64_t(lba) * slotSize_;
}

namespace {
Status checkBlocks(const std::filesystem::path &p, std::uint32_t lba, std::size_t bytes,
                   std::uint32_t blockSize, std::uint32_t slotSize, std::uint32_t capacity) {
    if (blockSize != 2048 && blockSize != 2336 && blockSize != 2352)
        return refuse(p, "block size " + std::to_string(blockSize) + " (2048, 2336 or 2352 expected)");
    if (blockSize > slotSize)
        return refuse(p, "block size " + std::to_string(blockSize) + " does not fit this medium");
    if (bytes % blockSize != 0)
        return refuse(p, std::to_string(bytes) + " bytes are not whole blocks of " +
                             std::to_string(blockSize));
    if (std::uint64_t(lba) + bytes / blockSize > capacity)
        return refuse(p, "blocks " + std::to_string(lba) + " to " +
                             std::to_string(std::uint64_t(lba) + bytes / blockSize) +
                             " lie beyond the capacity of " + std::to_string(capacity));
    return {};
}
}  // namespace

Status VrnDisc::writeBlocks(std::uint32_t lba, std::span<const std::uint8_t> data,
                            std::uint32_t blockSize, WriteRule rule) {
    if (access_ != Access::ReadWrite) return refuse(path_, "the disc is open for reading only");
    if (auto st = checkBlocks(path_, lba, data.size(), blockSize, slotSize_, capacity_); !st) return st;
    if (rule == WriteRule::Medium) {
        if (table_.state == DiscState::Closed) return refuse(path_, "the disc is closed");
        if (!medium::isRewritable(medium_)) {
            // Write-once: what a closed session recorded stays as it is.
            std::uint32_t firstFree = 0;
            for (std::size_t i = 0; i < table_.sessions.size(); ++i)
                if (table_.sessions[i].closed) firstFree = sessionExtent(i).second;
            if (lba < firstFree)
                return refuse(path_, "block " + std::to_string(lba) +
                                         " belongs to a closed session of a write-once disc");
        }
    }
    if (blockSize == slotSize_) return writeAll(blockOffset(lba), data);
    for (std::size_t i = 0; i * blockSize < data.size(); ++i)
        if (auto st = writeAll(blockOffset(lba + std::uint32_t(i)), data.subspan(i * blockSize, blockSize)); !st)
            return st;
    return {};
}

Status VrnDisc::readBlocks(std::uint32_t lba, std::span<std::uint8_t> out,
                           std::uint32_t blockSize) const {
    if (auto st = checkBlocks(path_, lba, out.size(), blockSize, slotSize_, capacity_); !st) return st;
    int code = 0;
    if (blockSize == slotSize_) {
        if (!readAll(fd_, blockOffset(lba), out, code)) return sysErr("cannot read " + path_.string(), code);
        return {};
    }
    for (std::size_t i = 0; i * blockSize < out.size(); ++i)
        if (!readAll(fd_, blockOffset(lba + std::uint32_t(i)), out.subspan(i * blockSize, blockSize), code))
            return sysErr("cannot read " + path_.string(), code);
    return {};
}

Status VrnDisc::writeTrackBlocks(std::size_t index, std::uint32_t first,
                                 std::span<const std::uint8_t> data) {
    if (index >= table_.tracks.size()) return refuse(path_, "no track " + std::to_string(index + 1));
    const Track &k = table_.tracks[index];
    if (data.size() % k.blockSize != 0 || std::uint64_t(first) + data.size() / k.blockSize > k.length)
        return refuse(path_, "the blocks lie outside track " + std::to_string(k.number));
    return writeBlocks(k.start + first, data, k.blockSize);
}

Status VrnDisc::readTrackBlocks(std::size_t index, std::uint32_t first,
                                std::span<std::uint8_t> out) const {
    if (index >= table_.tracks.size()) return refuse(path_, "no track " + std::to_string(index + 1));
    const Track &k = table_.tracks[index];
    if (out.size() % k.blockSize != 0 || std::uint64_t(first) + out.size() / k.blockSize > k.length)
        return refuse(path_, "the blocks lie outside track " + std::to_string(k.number));
    return readBlocks(k.start + first, out, k.blockSize);
}

Status VrnDisc::sync() {
    if (fd_ >= 0 && access_ == Access::ReadWrite && ::fdatasync(fd_) != 0)
        return sysErr("cannot write " + path_.string(), errno);
    return {};
}

}  // namespace vorn::vrn
