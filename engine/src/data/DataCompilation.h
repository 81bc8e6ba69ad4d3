// The data compilation model: a tree of items with hashed child lookup, the
// four name kinds, the settings and the size accounting.
//
// Costs. Adding, deleting, renaming and moving an item are O(1) apart from
// folder-level work done later and only for the folders that changed:
// - automatic names of a folder are resolved again only when a change could
//   alter them (a delete or a hand-set name while numbered names exist, a
//   dropped hand-set name, a clash pushing a long chain of numbered names
//   along), and then once, when a name of that folder is next read; a clash
//   of a new item is otherwise settled where it lands;
// - the listing order is sorted when the folder is next listed;
// - the file-system overhead of a folder is laid out again when a size is
//   next read.
// Counts and byte sums are kept exact at every change.
#pragma once

#include "data/IsoLayout.h"
#include "data/Names.h"

#include "VornAPI.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vorn::engine::data {

using Item = ::VornDataCompilationItem;
struct Directory;

// Open-addressing hash set of items keyed by one of their names. Several
// items may share a key (originals can repeat after renames).
class NameIndex {
public:
    // Keyed by the original name (no set), or by the resolved name of a set.
    explicit NameIndex(std::optional<NameSet> set) : key_(set ? static_cast<std::uint8_t>(*set + 1) : 0) {}
    void insert(Item *item);
    void erase(Item *item);
    Item *find(std::string_view name) const;
    void clear();
    std::size_t size() const { return count_; }

private:
    void grow();
    std::size_t home(std::string_view name) const;
    std::string_view key(const Item *item) const;

    // Every folder has four of these: kept small.
    std::vector<Item *> slots_;
    std::uint32_t count_ = 0;
    std::uint8_t key_;  // 0: originals, else the name set + 1
};

struct Settings {
    std::uint32_t medium = VORN_FAMILY_CD;
    int multisession = VORN_MULTISESSION_NONE;
    int msReplace = 1, msReplaceType = 0, msRemove = 1, msAdd = 1, msRefresh = 0;

    int bootable = 0, bootSource = 0, bootLocale = 3, bootExpert = 0, bootEmulation = 2;
    std::uint16_t bootSegment = 1984, bootSectors = 1;
    std::string bootImage, bootMessage;

    int dvdVideo = 0, dvdRealloc = 0;

    int modeXa = 0, enhanced = 1, isoLevel = 0, charset = 0, joliet = 0, rockRidge = 1;
    int deeperThan8 = 0, moreThan255 = 0, versionAddition = 1, relaxJoliet = 0, semicolons = 0;

    int udfType = VORN_UDF_NONE, udfOption = 0, udfPartition = 0, udfStandard = 0;

    std::string isoIds[9] = {"NEW", "", "", "", "", "VORN LINUX", "", "", ""};
    std::string jolietIds[9] = {"New", "", "", "", "", "Vorn Linux", "", "", ""};
    std::string udfLabel = "New";

    std::int32_t dates[4] = {-1, -1, -1, -1};
    int filesDateType = VORN_FILES_DATE_ORIGINAL;
    std::int32_t fixedFilesDate = -1;

    int cacheFromNetwork = 0, cacheSmallFiles = 0;
    std::int64_t smallFilesLimit = 65536;

    // The longest visible name, in characters.
    int visibleNameLimit() const;
    NameRules nameRules() const;
    LayoutSettings layoutSettings() const;
    NameSet primaryNameSet() const { return isoLevel == 1 ? kIso2 : kIso1; }
};

// Everything of an item that only some items have.
struct ItemExtra {
    std::optional<std::string> userNames[3];  // kinds 1-3 set by the user
    std::string origin;      // a local origin whose last component is not the original name
    std::string linkTarget;  // for VORN_DATA_ITEM_SYMLINK
};

}  // namespace vorn::engine::data

struct VornDataCompilationItem {
    static constexpr std::uint32_t kMagic = 0x564F4954;  // "VOIT"
    std::uint32_t magic = kMagic;
    std::uint8_t type = VORN_DATA_ITEM_FILE;
    std::uint16_t mode = 0;     // permission bits of the origin (0: none known)
    ::VornDataCompilation *owner = nullptr;  // null for a detached copy
    VornDataCompilationItem *parent = nullptr;
    std::uint32_t indexInParent = 0;
    std::uint32_t serial = 0;   // creation order: the last tie-break of name resolution
    std::string original;
    std::string autoNames[3];   // kinds 1-3; the visible one is empty when it equals the original
    std::unique_ptr<vorn::engine::data::ItemExtra> extra;
    std::shared_ptr<const std::string> originDir;  // folder of the local origin, or null
    std::uint64_t size = 0;
    std::int64_t modified = 0, accessed = 0, created = 0, added = 0;
    std::int32_t priority = 0;
    std::int32_t multisession = VORN_DATA_ITEM_NEW;
    std::uint32_t flags = 0;
    std::uint32_t extent = 0;   // first block of the file's data, set by the image layout
    std::unique_ptr<vorn::engine::data::Directory> dir;  // for folders

    bool isDirectory() const { return type == VORN_DATA_ITEM_DIRECTORY; }
    // The name of a set as resolved (user-set or automatic).
    const std::string &name(vorn::engine::data::NameSet set) const;
    const std::optional<std::string> *userName(vorn::engine::data::NameSet set) const;
    std::string originPath() const;
};

namespace vorn::engine::data {

struct Directory {
    Directory();
    // Children in listing order once sorted; deleted ones leave a null that
    // a later compaction removes, so deleting keeps the order.
    std::vector<std::unique_ptr<Item>> children;
    std::size_t live = 0;
    bool listingSorted = true;
    NameIndex originals;
    NameIndex names[3];
    std::uint32_t nameGen[3] = {};   // equals the compilation's when the set is resolved
    std::uint32_t numbered[3] = {};  // items whose automatic name carries "~n"
    // While a set is resolved: the item with automatic names that sorts
    // last (null for none; unknown after it left), and per plain candidate
    // the first number not yet tried. An item sorting after every other one
    // takes its name without touching the rest, so adding in sorted order
    // never resolves the folder again.
    // The hints of all three sets share one map, keyed by the set's number
    // before the candidate, made when a name first clashes: most folders
    // never need one, and empty maps would cost every folder their size.
    Item *last[3] = {};
    bool lastKnown[3] = {true, true, true};
    std::unique_ptr<std::unordered_map<std::string, unsigned>> nextNumber;
    unsigned &numberHint(int set, std::string_view candidate);
    void dropNumberHints(int set);
    std::uint32_t layoutGen = 0;
    bool layoutCounted = false;
    DirectoryLayout layout;
};

}  // namespace vorn::engine::data

struct VornDataCompilation {
    using Item = vorn::engine::data::Item;
    using NameSet = vorn::engine::data::NameSet;

    static constexpr std::uint32_t kMagic = 0x56444343;  // "VDCC"
    std::uint32_t magic = kMagic;
    std::recursive_mutex mu;
    vorn::engine::data::Settings settings;
    VornExtendedProgress *progress = nullptr;

    VornDataCompilation();
    ~VornDataCompilation();

    Item *root() { return root_.get(); }

    // Tree changes. Each returns null or false when refused, changing nothing.
    Item *createDirectory(Item *parent, std::string_view name, std::string_view origin,
                          std::uint32_t flags, bool skipExistenceCheck);
    Item *insertNewItem(Item *parent, const std::string &path);
    Item *insertCopy(Item *parent, const Item &detached);
    bool remove(Item *item);
    bool move(Item *item, Item *dest);
    bool setName(Item *item, std::string_view name, int kind);
    static std::unique_ptr<Item> copyDetached(const Item &item);

    // Lookups and names; these resolve what changed since the last read.
    Item *lookup(Item *dir, std::string_view name, int kind);
    Item *fromPath(std::string_view path, int kind);
    const std::string &nameOf(Item *item, int kind);
    std::string fullPath(Item *item, int kind);
    Item *firstEntry(Item *dir);
    Item *nextEntry(Item *item);

    // Item attributes that the accounting follows.
    bool setMultisession(Item *item, int type);
    bool refresh(Item *item);

    // Sizes.
    struct Totals {
        std::uint64_t files = 0, folders = 0;
        std::uint64_t userBytes = 0, newBytes = 0, onDiscBytes = 0, newFileBlocks = 0;
    };
    const Totals &totals() const { return totals_; }
    std::uint64_t overheadBlocks();
    std::uint64_t totalBlocks();
    std::uint64_t alreadyOnDiscBlocks = 0;

    // Settings that change names or the layout call these afterwards.
    void namesChanged(bool isoSets, bool visibleSet);
    void layoutChanged();

    // The children of `dir` as the image layout sees them, in no particular
    // order. Joliet names that differ from the visible ones are kept in
    // `jolietNames`, which must outlive `entries`. Folders relocated out of
    // `dir` are marked; the root lists the relocation folder as well.
    void layoutEntries(Item *dir, std::vector<vorn::engine::data::LayoutEntry> &entries,
                       std::vector<std::string> &jolietNames);

    // Relocation of folders deeper than 8 levels in the primary volume,
    // as the last size query found it (see relocatedAtLevel).
    struct RelocationPlan {
        std::string folderName;  // the relocation folder's name in the root
        // The relocated folders with their names in the relocation folder,
        // in name order, and that folder's layout.
        std::vector<std::pair<Item *, std::string>> moved;
        vorn::engine::data::DirectoryLayout layout;
    };
    const RelocationPlan &relocation() const { return relocation_; }
    // The relocation folder's entries, from relocation().
    void relocationEntries(std::vector<vorn::engine::data::LayoutEntry> &entries) const;
    // The level of a folder in the tree; the root is level 1.
    static std::uint32_t levelOf(const Item *dir);
    // The highest serial number given to an item so far.
    std::uint32_t lastSerial() const { return serial_; }

    // Test support: a full recount of what the accounting keeps.
    Totals recountTotals() const;
    std::uint64_t recountOverheadBlocks();

private:
    void attach(Item *parent, std::unique_ptr<Item> item);
    std::unique_ptr<Item> detach(Item *item);
    void countIn(const Item &item, int sign);
    void forget(Item &item);
    void adopt(Item &item);
    void addNames(Item *dir, Item *item);
    void removeNames(Item *dir, Item *item);
    void ensureNames(Item *dir, NameSet set);
    void resolveNames(Item *dir, NameSet set);
    void ensureListing(Item *dir);
    void compact(Item *dir);
    void markLayoutDirty(Item *dir);
    void layoutDirectory(Item *dir, vorn::engine::data::DirectoryLayout &out, bool relocated);
    bool relocating() const { return !settings.deeperThan8 && !relocated_.empty(); }
    void layoutRelocation(std::vector<Item *> moved, RelocationPlan &out);
    void applyLayout(Item *dir);
    void uncountLayout(Item *dir);
    std::shared_ptr<const std::string> internFolder(std::string_view folder);
    std::uint32_t nextSerial() { return ++serial_; }

    std::unique_ptr<Item> root_;
    Totals totals_;
    std::uint32_t nameGen_[3] = {1, 1, 1};
    std::uint32_t layoutGen_ = 1;
    std::uint32_t serial_ = 0;
    std::unordered_set<Item *> dirtyLayout_;
    std::unordered_set<Item *> relocated_;  // folders at a relocated level, as last laid out
    bool rootListsRelocation_ = false;      // the root's layout holds the relocation folder
    RelocationPlan relocation_;
    std::unordered_set<std::uint32_t> releasedSerials_;  // of items that left, free to come back
    std::uint64_t extentBlocks_ = 0, continuationBlocks_ = 0;
    std::uint64_t pathTableBytes_[vorn::engine::data::kVolumes] = {};
    std::unordered_map<std::string, std::weak_ptr<const std::string>> folders_;
    std::size_t foldersSweepAt_ = 1024;
    std::shared_ptr<const std::string> lastFolder_;
};
