#include "iso/IsoWriter.h"

#include "iso/ElTorito.h"
#include "iso/Encoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace vorn::engine::iso {

using namespace vorn::engine::data;
using Item = VornDataCompilationItem;

namespace {

constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFull;  // one extent, 4 GiB - 1
// Longest path of the primary volume unless longer ones are allowed: the
// recorded identifiers (";1" included) joined by "/", without a leading "/".
constexpr std::size_t kMaxPrimaryPathBytes = 255;
constexpr std::size_t kFlushBytes = 4u << 20;

// A refusal with a sentence for the user.
struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct Cancelled {};

std::string systemError(const std::string &what, int err)
{
    return what + ": " + std::strerror(err) + ".";
}

struct DirNode {
    Item *item = nullptr;
    std::uint32_t parent = 0;  // index in the folder list; the root is its own parent
    std::uint32_t subdirs = 0;
    std::uint32_t level = 1;   // the root is level 1
    std::size_t primaryPathBytes = 0;  // its path in the primary volume; 0 for the root
    std::string_view joliet;   // its Joliet name in the parent
    std::uint32_t number[kVolumes] = {};  // path table number, from 1
    std::uint32_t lba[kVolumes] = {};
    std::uint32_t blocks[kVolumes] = {};
    std::uint32_t ceLba = 0, ceBlocks = 0;
    std::vector<std::uint32_t> children;  // folders only
    // Relocation in the primary volume: the folder's parent there (the
    // relocation folder for a relocated one) and its name in it.
    std::uint32_t primaryParent = 0;
    bool relocated = false;
    std::string_view movedName;
};

bool volumeOn(Volume v, const LayoutSettings &s)
{
    return v == kPrimary || (v == kJoliet && s.joliet) || (v == kIso1999 && s.iso1999);
}

// Orders entries the way their volume's directory holds them.
void sortFor(Volume v, std::vector<LayoutEntry> &entries)
{
    switch (v) {
    case kPrimary:
        std::sort(entries.begin(), entries.end(),
                  [](const LayoutEntry &a, const LayoutEntry &b) { return primaryRecordLess(a.primary, b.primary); });
        break;
    case kJoliet:
        std::sort(entries.begin(), entries.end(),
                  [](const LayoutEntry &a, const LayoutEntry &b) { return jolietRecordLess(a.joliet, b.joliet); });
        break;
    default:
        std::sort(entries.begin(), entries.end(),
                  [](const LayoutEntry &a, const LayoutEntry &b) { return iso1999RecordLess(a.visible, b.visible); });
        break;
    }
}

// The buffer between the producer and the sink; it counts what it passed on.
class Output {
public:
    // `base` is the block the sink's first byte lands on: 0 for a first
    // session, the session's start for a later one.
    Output(BlockSink &sink, std::uint64_t base) : sink_(sink), base_(base)
    {
        buf_.reserve(kFlushBytes + 64 * 1024);
    }

    std::uint8_t *grow(std::size_t n)
    {
        const std::size_t at = buf_.size();
        buf_.resize(at + n);
        return buf_.data() + at;
    }
    void append(const std::uint8_t *p, std::size_t n) { std::memcpy(grow(n), p, n); }
    void padBlock()
    {
        const std::size_t rest = (flushed_ + buf_.size()) % kBlockBytes;
        if (rest)
            grow(kBlockBytes - rest);
    }
    std::uint64_t block() const { return base_ + (flushed_ + buf_.size()) / kBlockBytes; }
    void expectBlock(std::uint64_t lba, const char *what) const
    {
        if ((flushed_ + buf_.size()) % kBlockBytes || block() != lba)
            throw WriteError(std::string("Internal error: the ") + what +
                             " are not where the layout placed them.");
    }
    void maybeFlush()
    {
        if (buf_.size() >= kFlushBytes)
            flush();
    }
    void flush()
    {
        if (buf_.empty())
            return;
        if (!sink_.write(buf_.data(), buf_.size()))
            throw WriteError(systemError("The image could not be written", errno));
        flushed_ += buf_.size();
        buf_.clear();
    }
    void skipCopied(std::uint64_t n) { flushed_ += n; }
    std::size_t buffered() const { return buf_.size(); }
    void shrink(std::size_t n) { buf_.resize(buf_.size() - n); }
    BlockSink &sink() { return sink_; }

private:
    BlockSink &sink_;
    std::vector<std::uint8_t> buf_;
    std::uint64_t base_ = 0;
    std::uint64_t flushed_ = 0;
};

class Writer {
public:
    Writer(VornDataCompilation &c, std::int64_t now)
        : c_(c), st_(c.settings), ls_(c.settings.layoutSettings()), primarySet_(c.settings.primaryNameSet()),
          now_(now < 0 ? static_cast<std::int64_t>(std::time(nullptr)) : now), base_(c.alreadyOnDiscBlocks)
    {
    }

    std::uint64_t plan();
    void produce(BlockSink &sink, const WriteOptions &options);

private:
    struct Times {
        std::int64_t modified, accessed, changed;
    };
    Times timesOf(const Item &item) const;
    std::uint32_t modeOf(const Item &item) const;
    std::uint32_t linksOf(const Item &item) const;

    void collect();
    void descriptors(Output &out);
    void pathTable(Output &out, Volume v, bool bigEndian);
    void directory(Output &out, Volume v, std::uint32_t k, std::vector<std::uint8_t> *continuation);
    void fileData(Output &out, const WriteOptions &options);
    std::string recordId(Volume v, const LayoutEntry &e) const;
    std::string_view primaryName(std::uint32_t k) const
    {
        return dirs_[k].relocated ? dirs_[k].movedName : std::string_view(dirs_[k].item->name(primarySet_));
    }
    const DirectoryLayout &layoutOf(std::uint32_t k) const
    {
        return k == moved_ && moved_ ? c_.relocation().layout : dirs_[k].item->dir->layout;
    }
    void putRecord(std::uint8_t *p, std::size_t len, std::uint32_t lba, std::uint64_t size,
                   std::int64_t date, bool directory, std::string_view id, std::string_view su) const;

    VornDataCompilation &c_;
    const Settings &st_;
    LayoutSettings ls_;
    NameSet primarySet_;
    std::int64_t now_;

    std::vector<DirNode> dirs_;
    std::unordered_map<const Item *, std::uint32_t> dirIndex_;
    std::deque<std::string> jolietNames_;
    std::vector<std::uint32_t> order_[kVolumes];
    std::vector<Item *> files_;
    std::uint64_t pathTableBytes_[kVolumes] = {};
    std::uint32_t pathTableLba_[kVolumes][2] = {};
    std::uint64_t total_ = 0;
    // Block addresses are those of the disc: a session after imported ones
    // starts at `base_`, and its volume space reaches to `total_`.
    std::uint64_t base_ = 0;
    std::optional<BootImage> boot_;
    std::uint32_t catalogLba_ = 0, bootLba_ = 0;
    // The relocation folder of the primary volume (0: none), with an item
    // of its own for its attributes.
    std::uint32_t moved_ = 0;
    std::unique_ptr<Item> movedItem_;
};

Writer::Times Writer::timesOf(const Item &item) const
{
    switch (st_.filesDateType) {
    case VORN_FILES_DATE_BURN_TIME:
        return {now_, now_, now_};
    case VORN_FILES_DATE_FIXED: {
        const std::int64_t t = st_.fixedFilesDate == -1 ? now_ : st_.fixedFilesDate;
        return {t, t, t};
    }
    default:
        return {item.modified, item.accessed, item.created};
    }
}

// Everybody may read what is on the disc, and enter its folders; execute
// bits of files are kept.
std::uint32_t Writer::modeOf(const Item &item) const
{
    if (item.type == VORN_DATA_ITEM_SYMLINK)
        return S_IFLNK | 0777;
    if (item.isDirectory())
        return S_IFDIR | (item.mode & 07777) | 0555;
    std::uint32_t perm = (item.mode & 07777) | 0444;
    if (perm & 0100)
        perm |= 0111;
    return S_IFREG | perm;
}

std::uint32_t Writer::linksOf(const Item &item) const
{
    if (!item.isDirectory())
        return 1;
    return 2 + dirs_[dirIndex_.at(&item)].subdirs;
}

void Writer::collect()
{
    std::vector<LayoutEntry> entries;
    std::vector<std::string> jolietCut;
    dirs_.clear();
    dirs_.push_back(DirNode{});
    dirs_[0].item = c_.root();
    dirIndex_[c_.root()] = 0;
    const auto &relocation = c_.relocation();
    std::unordered_map<const Item *, std::string_view> movedNames;
    for (const auto &[item, name] : relocation.moved)
        movedNames.emplace(item, name);
    std::vector<std::uint32_t> relocated;
    for (std::uint32_t k = 0; k < dirs_.size(); ++k) {
        Item *dir = dirs_[k].item;
        c_.firstEntry(dir);  // puts the folder in listing order: data follows it
        c_.layoutEntries(dir, entries, jolietCut);
        for (const LayoutEntry &e : entries) {
            if (e.relocation == Relocation::kMovedFolder)
                continue;  // added below
            auto *item = const_cast<Item *>(e.item);
            const std::size_t idBytes = e.primary.size() + (ls_.versionSuffix && !e.isDirectory ? 2 : 0);
            const std::size_t pathBytes = (k == 0 ? 0 : dirs_[k].primaryPathBytes + 1) + idBytes;
            // Without Rock Ridge a relocated folder leaves no record behind.
            const bool recorded = e.relocation != Relocation::kPlaceholder || ls_.rockRidge;
            if (pathBytes > kMaxPrimaryPathBytes && !st_.moreThan255 && recorded)
                throw WriteError("The path \"" + c_.fullPath(item, VORN_NAME_VISIBLE) + "\" is " +
                                 std::to_string(pathBytes) +
                                 " characters long in the ISO 9660 volume; paths longer than 255 "
                                 "characters are not allowed in this compilation.");
            if (item->isDirectory()) {
                DirNode node;
                node.item = item;
                node.parent = k;
                node.level = dirs_[k].level + 1;
                node.primaryParent = k;
                node.primaryPathBytes = pathBytes;
                if (e.relocation == Relocation::kPlaceholder) {
                    const auto name = movedNames.find(item);
                    if (name == movedNames.end())
                        throw WriteError("Internal error: a deep folder was not relocated.");
                    node.relocated = true;
                    node.movedName = name->second;
                    node.primaryPathBytes = relocation.folderName.size() + 1 + name->second.size();
                    relocated.push_back(static_cast<std::uint32_t>(dirs_.size()));
                }
                if (e.joliet.data() != e.visible.data())
                    node.joliet = jolietNames_.emplace_back(e.joliet);
                else
                    node.joliet = e.visible;
                const auto index = static_cast<std::uint32_t>(dirs_.size());
                dirIndex_[item] = index;
                dirs_[k].children.push_back(index);
                ++dirs_[k].subdirs;
                dirs_.push_back(std::move(node));
            } else if (item->type == VORN_DATA_ITEM_FILE) {
                if (item->size > kMaxFileBytes)
                    throw WriteError("The file \"" + c_.fullPath(item, VORN_NAME_VISIBLE) +
                                     "\" is larger than an ISO 9660 file can be (4 GiB - 1 byte).");
                // Files of a previous session stay where they are; only
                // their records are written again.
                if (item->multisession != VORN_DATA_ITEM_IMPORTED_FILE)
                    files_.push_back(item);
            }
        }
    }
    if (relocated.size() != relocation.moved.size())
        throw WriteError("Internal error: the relocated folders differ from the size accounting.");
    if (relocated.empty())
        return;
    // The relocation folder: in the root of the primary volume only, dated
    // like the root, readable by everybody.
    const Item &root = *c_.root();
    movedItem_ = std::make_unique<Item>();
    movedItem_->type = VORN_DATA_ITEM_DIRECTORY;
    movedItem_->original = relocation.folderName;
    movedItem_->autoNames[primarySet_] = relocation.folderName;
    movedItem_->modified = root.modified;
    movedItem_->accessed = root.accessed;
    movedItem_->created = root.created;
    movedItem_->serial = c_.lastSerial() + 1;
    DirNode node;
    node.item = movedItem_.get();
    node.level = 2;
    node.primaryPathBytes = relocation.folderName.size();
    node.children = relocated;
    node.subdirs = static_cast<std::uint32_t>(relocated.size());
    moved_ = static_cast<std::uint32_t>(dirs_.size());
    dirIndex_[movedItem_.get()] = moved_;
    for (std::uint32_t k : relocated)
        dirs_[k].primaryParent = moved_;
    dirs_.push_back(std::move(node));
}

std::uint64_t Writer::plan()
{
    const std::uint64_t accounted = c_.totalBlocks();
    collect();

    // Path tables list the folders level by level, each level ordered by
    // parent number and then by name; directory extents follow that order.
    for (int vi = 0; vi < kVolumes; ++vi) {
        const auto v = static_cast<Volume>(vi);
        if (!volumeOn(v, ls_))
            continue;
        auto &order = order_[v];
        order.assign(1, 0);
        pathTableBytes_[v] = kRootPathTableBytes;
        for (std::size_t i = 0; i < order.size(); ++i) {
            DirNode &d = dirs_[order[i]];
            d.number[v] = static_cast<std::uint32_t>(i + 1);
            std::vector<std::uint32_t> kids = d.children;
            if (v == kPrimary && moved_ && order[i] != moved_) {
                std::erase_if(kids, [&](std::uint32_t k) { return dirs_[k].relocated; });
                if (order[i] == 0)
                    kids.push_back(moved_);
            }
            auto key = [&](std::uint32_t k) -> std::string_view {
                return v == kPrimary ? primaryName(k)
                       : v == kJoliet ? dirs_[k].joliet
                                      : std::string_view(dirs_[k].item->name(kVisible));
            };
            std::sort(kids.begin(), kids.end(), [&](std::uint32_t a, std::uint32_t b) {
                return v == kPrimary  ? primaryRecordLess(key(a), key(b))
                       : v == kJoliet ? jolietRecordLess(key(a), key(b))
                                      : iso1999RecordLess(key(a), key(b));
            });
            for (std::uint32_t k : kids) {
                order.push_back(k);
                const std::size_t idBytes = v == kJoliet ? 2 * utf16Units(key(k)) : key(k).size();
                pathTableBytes_[v] += pathTableRecordBytes(idBytes);
            }
        }
    }

    std::uint64_t next = base_ + descriptorAreaBlocks(ls_);
    for (int v = 0; v < kVolumes; ++v) {
        if (!volumeOn(static_cast<Volume>(v), ls_))
            continue;
        for (int e = 0; e < 2; ++e) {
            pathTableLba_[v][e] = static_cast<std::uint32_t>(next);
            next += blocksFor(pathTableBytes_[v]);
        }
    }
    for (int v = 0; v < kVolumes; ++v) {
        for (std::uint32_t k : order_[v]) {
            DirNode &d = dirs_[k];
            d.lba[v] = static_cast<std::uint32_t>(next);
            d.blocks[v] = static_cast<std::uint32_t>(layoutOf(k).extentBlocks[v]);
            next += d.blocks[v];
        }
    }
    for (std::uint32_t k : order_[kPrimary]) {
        DirNode &d = dirs_[k];
        d.ceLba = static_cast<std::uint32_t>(next);
        d.ceBlocks = static_cast<std::uint32_t>(layoutOf(k).continuationBlocks);
        next += d.ceBlocks;
    }
    if (st_.bootable && !ls_.elTorito)
        throw WriteError("No boot image was chosen for the bootable disc.");
    if (ls_.elTorito) {
        BootImage boot;
        std::string error;
        if (!inspectBootImage(st_, boot, error))
            throw WriteError(error);
        catalogLba_ = static_cast<std::uint32_t>(next++);
        bootLba_ = static_cast<std::uint32_t>(next);
        next += blocksFor(boot.bytes);
        boot_ = std::move(boot);
    }
    // File data, higher priorities first, otherwise in folder order. Most
    // compilations set no priority: one pass finds them in order already.
    const auto higherPriority = [](const Item *a, const Item *b) { return a->priority > b->priority; };
    if (!std::is_sorted(files_.begin(), files_.end(), higherPriority))
        std::stable_sort(files_.begin(), files_.end(), higherPriority);
    for (Item *f : files_) {
        f->extent = f->size ? static_cast<std::uint32_t>(next) : 0;
        next += blocksFor(f->size);
    }
    if (next > 0xFFFFFFFFull)
        throw WriteError("The image would be larger than ISO 9660 can address.");
    total_ = next;
    if (total_ != accounted)
        throw WriteError("Internal error: the image layout (" + std::to_string(total_) +
                         " blocks) disagrees with the size accounting (" + std::to_string(accounted) +
                         " blocks).");
    return total_ - base_;
}

void Writer::putRecord(std::uint8_t *p, std::size_t len, std::uint32_t lba, std::uint64_t size,
                       std::int64_t date, bool directory, std::string_view id, std::string_view su) const
{
    std::memset(p, 0, len);
    p[0] = static_cast<std::uint8_t>(len);
    put32both(p + 2, lba);
    put32both(p + 10, static_cast<std::uint32_t>(size));
    putRecordDate(p + 18, date);
    p[25] = directory ? 0x02 : 0x00;
    put16both(p + 28, 1);
    p[32] = static_cast<std::uint8_t>(id.size());
    std::memcpy(p + 33, id.data(), id.size());
    const std::size_t suAt = 33 + id.size() + ((id.size() & 1) ? 0 : 1);
    if (!su.empty())
        std::memcpy(p + suAt, su.data(), su.size());
}

std::string Writer::recordId(Volume v, const LayoutEntry &e) const
{
    const bool version = ls_.versionSuffix && !e.isDirectory;
    switch (v) {
    case kJoliet: {
        std::string id = utf16be(e.joliet);
        if (version)
            id.append("\0;\0" "1", 4);
        return id;
    }
    case kIso1999:
        return std::string(e.visible);
    default: {
        std::string id(e.primary);
        if (version)
            id += ";1";
        return id;
    }
    }
}

void Writer::descriptors(Output &out)
{
    out.grow(kSystemAreaBlocks * kBlockBytes);
    for (int vi = 0; vi < kVolumes; ++vi) {
        const auto v = static_cast<Volume>(vi);
        // The boot record comes right after the primary descriptor.
        if (v == kJoliet && boot_)
            putBootRecord(out.grow(kBlockBytes), catalogLba_);
        if (!volumeOn(v, ls_))
            continue;
        std::uint8_t *p = out.grow(kBlockBytes);
        p[0] = v == kPrimary ? 1 : 2;
        std::memcpy(p + 1, "CD001", 5);
        p[6] = v == kIso1999 ? 2 : 1;
        const std::string *ids = v == kPrimary ? st_.isoIds : st_.jolietIds;
        auto text = [&](std::size_t at, std::size_t n, const std::string &s) {
            if (v == kJoliet)
                putUcs2Text(p + at, n, s);
            else
                putText(p + at, n, v == kIso1999 ? utf8Cut(s, n, n, n) : std::string_view(s));
        };
        text(8, 32, ids[1]);   // system
        text(40, 32, ids[0]);  // volume label
        put32both(p + 80, static_cast<std::uint32_t>(total_));
        if (v == kJoliet)
            std::memcpy(p + 88, "%/E", 3);  // UCS-2 level 3
        put16both(p + 120, 1);
        put16both(p + 124, 1);
        put16both(p + 128, kBlockBytes);
        put32both(p + 132, static_cast<std::uint32_t>(pathTableBytes_[v]));
        put32le(p + 140, pathTableLba_[v][0]);
        put32be(p + 148, pathTableLba_[v][1]);
        const DirNode &root = dirs_[0];
        putRecord(p + 156, 34, root.lba[v], std::uint64_t{root.blocks[v]} * kBlockBytes,
                  timesOf(*root.item).modified, true, std::string_view("\0", 1), {});
        text(190, 128, ids[2]);
        text(318, 128, ids[3]);
        text(446, 128, ids[4]);
        text(574, 128, ids[5]);
        text(702, 37, ids[6]);
        text(739, 37, ids[7]);
        text(776, 37, ids[8]);
        auto date = [&](int i) { return st_.dates[i] == -1 ? -1 : std::int64_t{st_.dates[i]}; };
        putVolumeDate(p + 813, date(0) == -1 ? now_ : date(0));
        putVolumeDate(p + 830, date(1) == -1 ? now_ : date(1));
        putVolumeDate(p + 847, date(3));
        putVolumeDate(p + 864, date(2));
        p[881] = v == kIso1999 ? 2 : 1;
        if (ls_.modeXa)
            std::memcpy(p + 1024, "CD-XA001", 8);
    }
    std::uint8_t *t = out.grow(kBlockBytes);
    t[0] = 255;
    std::memcpy(t + 1, "CD001", 5);
    t[6] = 1;
}

void Writer::pathTable(Output &out, Volume v, bool bigEndian)
{
    out.expectBlock(pathTableLba_[v][bigEndian ? 1 : 0], "path tables");
    for (std::uint32_t k : order_[v]) {
        const DirNode &d = dirs_[k];
        std::string id;
        if (k == 0)
            id.assign(1, '\0');
        else if (v == kPrimary)
            id = primaryName(k);
        else if (v == kJoliet)
            id = utf16be(d.joliet);
        else
            id = d.item->name(kVisible);
        const std::uint32_t len = pathTableRecordBytes(id.size());
        std::uint8_t *p = out.grow(len);
        std::memset(p, 0, len);
        p[0] = static_cast<std::uint8_t>(id.size());
        const std::uint32_t parent = dirs_[v == kPrimary ? d.primaryParent : d.parent].number[v];
        if (bigEndian) {
            put32be(p + 2, d.lba[v]);
            put16be(p + 6, parent);
        } else {
            put32le(p + 2, d.lba[v]);
            put16le(p + 6, parent);
        }
        std::memcpy(p + 8, id.data(), id.size());
    }
    out.padBlock();
}

// One folder's extent in a volume; with `continuation`, the primary
// volume's spilled Rock Ridge entries of the folder instead.
void Writer::directory(Output &out, Volume v, std::uint32_t k, std::vector<std::uint8_t> *continuation)
{
    const DirNode &d = dirs_[k];
    const bool rr = v == kPrimary && ls_.rockRidge;
    const bool isRoot = k == 0;
    std::vector<LayoutEntry> entries;
    std::vector<std::string> jolietCut;
    if (moved_ && k == moved_)
        c_.relocationEntries(entries);
    else
        c_.layoutEntries(d.item, entries, jolietCut);
    sortFor(v, entries);

    std::vector<std::uint8_t> extent(std::size_t{d.blocks[v]} * kBlockBytes);
    std::vector<std::uint8_t> ce(std::size_t{d.ceBlocks} * kBlockBytes);
    std::size_t pos = 0, cePos = 0;
    auto place = [&](std::size_t len) {
        if (pos % kBlockBytes + len > kBlockBytes)
            pos += kBlockBytes - pos % kBlockBytes;
        if (pos + len > extent.size())
            throw WriteError("Internal error: a folder outgrew its planned extent.");
        const std::size_t at = pos;
        pos += len;
        return at;
    };
    // Puts System Use entries into the continuation area; returns where the
    // first area starts and its length. Entries of more than a block go to
    // fresh blocks, each ending with a CE to the next.
    auto spill = [&](const std::string &bytes) -> std::pair<std::size_t, std::size_t> {
        if (bytes.size() <= kBlockBytes) {
            if (cePos % kBlockBytes + bytes.size() > kBlockBytes)
                cePos += kBlockBytes - cePos % kBlockBytes;
            if (cePos + bytes.size() > ce.size())
                throw WriteError("Internal error: a continuation area outgrew its plan.");
            std::memcpy(ce.data() + cePos, bytes.data(), bytes.size());
            const std::size_t at = cePos;
            cePos += bytes.size();
            return {at, bytes.size()};
        }
        std::vector<std::uint32_t> sizes;
        for (std::size_t i = 0; i + 2 < bytes.size(); i += sizes.back())
            sizes.push_back(static_cast<unsigned char>(bytes[i + 2]));
        const std::vector<std::size_t> areas = continuationAreas(sizes);
        std::vector<std::size_t> areaBytes;
        for (std::size_t j = 0, e = 0; j < areas.size(); ++j) {
            std::size_t n = j + 1 < areas.size() ? kSuspCeBytes : 0;
            for (std::size_t i = 0; i < areas[j]; ++i)
                n += sizes[e++];
            areaBytes.push_back(n);
        }
        if (cePos % kBlockBytes)
            cePos += kBlockBytes - cePos % kBlockBytes;
        const std::size_t first = cePos;
        std::size_t from = 0;
        for (std::size_t j = 0; j < areas.size(); ++j) {
            const bool last = j + 1 == areas.size();
            const std::size_t payload = areaBytes[j] - (last ? 0 : kSuspCeBytes);
            if (cePos + areaBytes[j] > ce.size())
                throw WriteError("Internal error: a continuation area outgrew its plan.");
            std::memcpy(ce.data() + cePos, bytes.data() + from, payload);
            from += payload;
            if (last) {
                cePos += payload;
            } else {
                std::string next;
                appendCe(next, d.ceLba + static_cast<std::uint32_t>(cePos / kBlockBytes) + 1, 0,
                         static_cast<std::uint32_t>(areaBytes[j + 1]));
                std::memcpy(ce.data() + cePos + payload, next.data(), next.size());
                cePos += kBlockBytes;
            }
        }
        return {first, areaBytes[0]};
    };

    // "." and "..".
    for (int dot = 1; dot >= 0; --dot) {
        // Rock Ridge readers see the real parent; the record itself points
        // to the parent in this volume (the relocation folder for a
        // relocated folder in the primary one).
        const DirNode &target = dot ? d : dirs_[d.parent];
        const DirNode &pointed = dot ? d : dirs_[v == kPrimary ? d.primaryParent : d.parent];
        // With Mode 2 XA every System Use field starts with the CD-XA
        // attributes, which the SP entry tells Rock Ridge readers to skip.
        // The root's "." record holds the SP itself at its first byte; its
        // attribute bytes become padding, so that readers that skip there
        // too still land on an entry.
        std::string su;
        const bool spHere = rr && dot && isRoot;
        if (ls_.modeXa && !spHere)
            appendXa(su, true);
        if (rr) {
            if (spHere) {
                appendSp(su, ls_.modeXa ? kXaBytes : 0);
                if (ls_.modeXa)
                    appendPd(su, kXaBytes - kSuspSpBytes);
            }
            const Times t = timesOf(*target.item);
            appendPx(su, modeOf(*target.item), linksOf(*target.item), target.item->serial);
            appendTf(su, t.modified, t.accessed, t.changed);
            if (!dot && d.relocated)
                appendPl(su, target.lba[kPrimary]);
            if (spHere) {
                std::string er;
                appendEr(er);
                const std::size_t at = spill(er).first;
                appendCe(su, d.ceLba + static_cast<std::uint32_t>(at / kBlockBytes),
                         static_cast<std::uint32_t>(at % kBlockBytes), static_cast<std::uint32_t>(er.size()));
                if (ls_.modeXa)
                    appendPd(su, kSuspSpBytes);
            }
        }
        const std::uint32_t len = dotRecordBytes(v, dot != 0, isRoot, ls_, d.relocated);
        if (directoryRecordBytes(1, su.size()) != len)
            throw WriteError("Internal error: a folder record differs from its planned size.");
        putRecord(extent.data() + place(len), len, pointed.lba[v],
                  std::uint64_t{pointed.blocks[v]} * kBlockBytes, timesOf(*target.item).modified, true,
                  std::string_view(dot ? "\0" : "\1", 1), su);
    }

    for (const LayoutEntry &e : entries) {
        if (v != kPrimary && e.relocation == Relocation::kMovedFolder)
            continue;
        // A relocated folder in its real parent: with Rock Ridge a file
        // record whose CL leads to the folder, without it nothing.
        const bool placeholder = v == kPrimary && e.relocation == Relocation::kPlaceholder;
        if (placeholder && !rr)
            continue;
        const Item &item = e.relocation == Relocation::kMovedFolder ? *movedItem_ : *e.item;
        const bool isDirectory = e.isDirectory && !placeholder;
        const std::string id = recordId(v, e);
        std::string su;
        if (ls_.modeXa)
            appendXa(su, isDirectory);
        std::size_t spilledBytes = 0;
        if (rr) {
            const Times t = timesOf(item);
            appendPx(su, modeOf(item), linksOf(item), item.serial);
            appendTf(su, t.modified, t.accessed, t.changed);
            if (placeholder)
                appendCl(su, dirs_[dirIndex_.at(&item)].lba[kPrimary]);
            else if (e.relocation != Relocation::kNone)
                appendRe(su);  // reached through CL, or hidden (the relocation folder)
            std::string movable;
            appendNm(movable, e.visible);
            if (!e.linkTarget.empty())
                appendSl(movable, e.linkTarget);
            if (directoryRecordBytes(id.size(), su.size() + movable.size()) <= kMaxRecordBytes) {
                su += movable;
            } else {
                const auto [at, length] = spill(movable);
                spilledBytes = movable.size();
                appendCe(su, d.ceLba + static_cast<std::uint32_t>(at / kBlockBytes),
                         static_cast<std::uint32_t>(at % kBlockBytes), static_cast<std::uint32_t>(length));
            }
        }
        const std::uint32_t len = directoryRecordBytes(id.size(), su.size());
        const RecordSize planned = entryRecordSize(v, e, ls_);
        if (len != planned.recordBytes || spilledBytes != planned.spilledBytes)
            throw WriteError("Internal error: a record differs from its planned size.");
        std::uint32_t lba = 0;
        std::uint64_t size = 0;
        if (isDirectory) {
            const DirNode &child = dirs_[dirIndex_.at(&item)];
            lba = child.lba[v];
            size = std::uint64_t{child.blocks[v]} * kBlockBytes;
        } else if (item.type == VORN_DATA_ITEM_FILE) {
            lba = item.extent;
            size = item.size;
        }
        putRecord(extent.data() + place(len), len, lba, size, timesOf(item).modified, isDirectory, id, su);
    }

    if (continuation) {
        *continuation = std::move(ce);
        return;
    }
    out.expectBlock(d.lba[v], "folders");
    out.append(extent.data(), extent.size());
    out.maybeFlush();
}

void Writer::fileData(Output &out, const WriteOptions &options)
{
    std::uint64_t sinceReport = 0;
    // Files are opened by name from their folder, held open while the files
    // of one folder follow each other (items share their folder's string),
    // so that the kernel looks up one name per file instead of a whole path.
    struct Folder {
        const std::string *path = nullptr;
        int fd = -1;
        ~Folder()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } folder;
    for (Item *f : files_) {
        if (f->size == 0)
            continue;
        out.expectBlock(f->extent, "file data");
        const std::string path = f->originPath();
        int at = AT_FDCWD;
        const char *name = path.c_str();
        if (f->originDir && (!f->extra || f->extra->origin.empty())) {
            if (folder.path != f->originDir.get()) {
                if (folder.fd >= 0)
                    ::close(folder.fd);
                folder.path = f->originDir.get();
                folder.fd = ::open(folder.path->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            }
            if (folder.fd >= 0) {
                at = folder.fd;
                name = f->original.c_str();
            }
        }
        const int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC | O_NOATIME);
        const int fd2 = fd >= 0 ? fd : ::openat(at, name, O_RDONLY | O_CLOEXEC);
        if (fd2 < 0)
            throw WriteError(systemError("The file \"" + path + "\" cannot be read", errno));
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd2};
        struct stat st {};
        if (::fstat(fd2, &st) != 0 || !S_ISREG(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_size) != f->size)
            throw WriteError("The file \"" + path + "\" changed after it was added to the compilation.");
        std::uint64_t left = f->size;
        if (left >= options.copyRangeMinBytes) {
            out.flush();
            switch (out.sink().copyFrom(fd2, left)) {
            case BlockSink::Copy::Done:
                out.skipCopied(left);
                left = 0;
                break;
            case BlockSink::Copy::Failed:
                throw WriteError(systemError("The file \"" + path + "\" could not be copied into the image",
                                             errno));
            case BlockSink::Copy::Unsupported:
                break;
            }
        }
        while (left > 0) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, kFlushBytes));
            std::uint8_t *p = out.grow(chunk);
            std::size_t got = 0;
            while (got < chunk) {
                const ssize_t n = ::read(fd2, p + got, chunk - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    throw WriteError(systemError("The file \"" + path + "\" cannot be read", errno));
                if (n == 0)
                    throw WriteError("The file \"" + path + "\" changed after it was added to the compilation.");
                got += static_cast<std::size_t>(n);
            }
            left -= chunk;
            out.maybeFlush();
        }
        out.padBlock();
        out.maybeFlush();
        sinceReport += f->size;
        if (options.progress && sinceReport >= (8u << 20)) {
            sinceReport = 0;
            if (!options.progress(out.block() - base_, total_ - base_))
                throw Cancelled{};
        }
    }
}

void Writer::produce(BlockSink &sink, const WriteOptions &options)
{
    Output out(sink, base_);
    descriptors(out);
    for (int v = 0; v < kVolumes; ++v) {
        if (!volumeOn(static_cast<Volume>(v), ls_))
            continue;
        pathTable(out, static_cast<Volume>(v), false);
        pathTable(out, static_cast<Volume>(v), true);
    }
    for (int v = 0; v < kVolumes; ++v)
        for (std::uint32_t k : order_[v])
            directory(out, static_cast<Volume>(v), k, nullptr);
    for (std::uint32_t k : order_[kPrimary]) {
        if (!dirs_[k].ceBlocks)
            continue;
        std::vector<std::uint8_t> ce;
        directory(out, kPrimary, k, &ce);
        out.expectBlock(dirs_[k].ceLba, "continuation areas");
        out.append(ce.data(), ce.size());
        out.maybeFlush();
    }
    if (boot_) {
        out.expectBlock(catalogLba_, "boot catalog");
        putBootCatalog(out.grow(kBlockBytes), *boot_, bootLba_);
        out.expectBlock(bootLba_, "boot image");
        std::string error;
        if (!copyBootImage(
                *boot_,
                [&](const std::uint8_t *p, std::size_t n) {
                    out.append(p, n);
                    out.maybeFlush();
                },
                error))
            throw WriteError(error);
        out.padBlock();
    }
    if (options.progress && !options.progress(out.block() - base_, total_ - base_))
        throw Cancelled{};
    fileData(out, options);
    out.flush();
    if (out.block() != total_)
        throw WriteError("Internal error: the image ended before its planned size.");
    if (options.progress)
        options.progress(total_ - base_, total_ - base_);
}

// A sink over a file descriptor of a regular file.
//
// It writes past the page cache (O_DIRECT) where the file system allows it.
// Written normally, an image takes one fresh cache page per 4 KiB, only to
// have the kernel write it back later; for images of gigabytes, getting
// those pages costs more than writing the disk, most of all where free
// memory is not resident (a virtual machine that hands free pages back to
// its host). Direct writes need aligned memory, lengths and offsets: the
// sink gathers bytes in two aligned buffers, and while a thread of its own
// writes one to the disk the other fills, so that reading the sources and
// writing the image overlap. The last piece is written normally in
// finish(). A file system that refuses direct writes gets normal ones.
class FileSink : public BlockSink {
public:
    FileSink(int fd, bool direct) : fd_(fd)
    {
        if (!direct)
            return;
        for (auto &stage : stages_)
            stage.reset(static_cast<std::uint8_t *>(std::aligned_alloc(kDirectAlign, kDirectBytes)));
        const int flags = ::fcntl(fd_, F_GETFL);
        direct_ = stages_[0] && stages_[1] && flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
    }
    ~FileSink() override
    {
        if (!writer_.joinable())
            return;
        {
            std::lock_guard lock(mu_);
            quit_ = true;
        }
        cv_.notify_all();
        writer_.join();
    }
    bool write(const std::uint8_t *data, std::size_t bytes) override
    {
        if (!direct_)
            return writeAll(fd_, data, bytes);
        while (bytes > 0) {
            const std::size_t n = std::min(bytes, kDirectBytes - staged_);
            std::memcpy(stages_[filling_].get() + staged_, data, n);
            staged_ += n;
            data += n;
            bytes -= n;
            if (staged_ == kDirectBytes && !handOff())
                return false;
        }
        return true;
    }
    Copy copyFrom(int fd, std::uint64_t bytes) override
    {
        // The kernel's copy fills the page cache, and it would land before
        // the bytes still gathered: written directly, data comes through
        // our memory instead.
        if (!copyRange_ || direct_)
            return Copy::Unsupported;
        std::uint64_t done = 0;
        while (done < bytes) {
            const ssize_t n = ::copy_file_range(fd, nullptr, fd_, nullptr,
                                                static_cast<std::size_t>(bytes - done), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && done == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                copyRange_ = false;
                return Copy::Unsupported;
            }
            if (n <= 0) {
                if (n == 0)
                    errno = EIO;  // the source ended early: it changed
                return Copy::Failed;
            }
            done += static_cast<std::uint64_t>(n);
        }
        return Copy::Done;
    }
    // Waits for the piece being written and writes what is still gathered,
    // normally: the image need not end on an aligned length. False on
    // failure, with errno set.
    bool finish()
    {
        if (!direct_)
            return true;
        if (!waitIdle())
            return false;
        direct_ = false;
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
        const bool ok = writeAll(fd_, stages_[filling_].get(), staged_);
        staged_ = 0;
        return ok;
    }

private:
    static constexpr std::size_t kDirectAlign = 4096;
    static constexpr std::size_t kDirectBytes = kFlushBytes;

    // Appends everything; a direct write refused for its alignment (or left
    // unaligned by a short write) goes on normally.
    static bool writeAll(int fd, const std::uint8_t *data, std::size_t bytes)
    {
        while (bytes > 0) {
            const ssize_t n = ::write(fd, data, bytes);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EINVAL) {
                const int flags = ::fcntl(fd, F_GETFL);
                if (flags >= 0 && (flags & O_DIRECT) && ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) == 0)
                    continue;
            }
            if (n <= 0) {
                if (n == 0)
                    errno = ENOSPC;
                return false;
            }
            data += n;
            bytes -= static_cast<std::size_t>(n);
        }
        return true;
    }
    // Waits until no piece is being written; false with errno set when one
    // failed.
    bool waitIdle()
    {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return !busy_; });
        if (error_) {
            errno = error_;
            return false;
        }
        return true;
    }
    // Gives the full buffer to the writing thread and fills the other one.
    bool handOff()
    {
        if (!waitIdle())
            return false;
        {
            std::lock_guard lock(mu_);
            pending_ = stages_[filling_].get();
            busy_ = true;
        }
        if (!writer_.joinable())
            writer_ = std::thread([this] { writeLoop(); });
        cv_.notify_all();
        filling_ ^= 1;
        staged_ = 0;
        return true;
    }
    void writeLoop()
    {
        std::unique_lock lock(mu_);
        for (;;) {
            cv_.wait(lock, [&] { return busy_ || quit_; });
            if (!busy_)
                return;
            const std::uint8_t *piece = pending_;
            lock.unlock();
            const bool ok = writeAll(fd_, piece, kDirectBytes);
            const int err = errno;
            lock.lock();
            if (!ok)
                error_ = err;
            busy_ = false;
            cv_.notify_all();
        }
    }

    struct Free {
        void operator()(std::uint8_t *p) const { std::free(p); }
    };
    int fd_;
    bool copyRange_ = true;
    bool direct_ = false;
    std::unique_ptr<std::uint8_t, Free> stages_[2];
    int filling_ = 0;
    std::size_t staged_ = 0;
    // Shared with the writing thread.
    std::thread writer_;
    std::mutex mu_;
    std::condition_variable cv_;
    const std::uint8_t *pending_ = nullptr;
    bool busy_ = false, quit_ = false;
    int error_ = 0;
};

}  // namespace

bool canBeWrittenAsIsoImage(VornDataCompilation &c)
{
    std::lock_guard lock(c.mu);
    return c.settings.udfType != VORN_UDF_ONLY;
}

WriteResult planImage(VornDataCompilation &c)
{
    WriteResult r;
    try {
        std::lock_guard lock(c.mu);
        if (!canBeWrittenAsIsoImage(c))
            throw WriteError("A UDF-only compilation has no ISO 9660 volume to write.");
        Writer w(c, -1);
        r.blocks = w.plan();
        r.ok = true;
    } catch (const WriteError &e) {
        r.error = e.what();
    } catch (const std::bad_alloc &) {
        r.error = "Not enough memory to lay out the image.";
    }
    return r;
}

WriteResult writeImage(VornDataCompilation &c, BlockSink &sink, const WriteOptions &options)
{
    WriteResult r;
    try {
        std::lock_guard lock(c.mu);
        if (!canBeWrittenAsIsoImage(c))
            throw WriteError("A UDF-only compilation has no ISO 9660 volume to write.");
        Writer w(c, options.now);
        r.blocks = w.plan();
        w.produce(sink, options);
        r.ok = true;
    } catch (const WriteError &e) {
        r.error = e.what();
    } catch (const Cancelled &) {
        r.cancelled = true;
        r.error = "The image was not written: cancelled.";
    } catch (const std::bad_alloc &) {
        r.error = "Not enough memory to write the image.";
    }
    return r;
}

WriteResult writeImageFile(VornDataCompilation &c, const std::string &path, const WriteOptions &options)
{
    WriteResult r;
    if (path.empty() || path.back() == '/') {
        r.error = "No image file name was given.";
        return r;
    }
    // A fresh name beside the image, created with the umask's permissions.
    static std::atomic<unsigned> counter{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmp = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        r.error = systemError("The image file \"" + path + "\" cannot be created", errno);
        return r;
    }
    {
        FileSink sink(fd, options.directWrites);
        r = writeImage(c, sink, options);
        if (r.ok && !sink.finish()) {
            r.ok = false;
            r.error = systemError("The image file \"" + path + "\" could not be completed", errno);
        }
    }  // the sink's thread has ended: nothing writes to fd any more
    if (::close(fd) != 0 && r.ok) {
        r.ok = false;
        r.error = systemError("The image file \"" + path + "\" could not be completed", errno);
    }
    if (r.ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        r.ok = false;
        r.error = systemError("The image file \"" + path + "\" could not be put in place", errno);
    }
    if (!r.ok)
        ::unlink(tmp.c_str());
    return r;
}

}  // namespace vorn::engine::iso
