#include "data/DataCompilation.h"

#include "iso/ElTorito.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <functional>

namespace vorn::engine::data {

// ---------------------------------------------------------------------------
// NameIndex

std::size_t NameIndex::home(std::string_view name) const
{
    return std::hash<std::string_view>{}(name) & (slots_.size() - 1);
}

std::string_view NameIndex::key(const Item *item) const
{
    return key_ == 0 ? std::string_view(item->original) : std::string_view(item->name(static_cast<NameSet>(key_ - 1)));
}

void NameIndex::grow()
{
    std::vector<Item *> old = std::move(slots_);
    slots_.assign(old.empty() ? 8 : old.size() * 2, nullptr);
    count_ = 0;
    for (Item *item : old)
        if (item)
            insert(item);
}

void NameIndex::insert(Item *item)
{
    if ((count_ + 1) * 4 > slots_.size() * 3)
        grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(key(item));
    while (slots_[i])
        i = (i + 1) & mask;
    slots_[i] = item;
    ++count_;
}

Item *NameIndex::find(std::string_view name) const
{
    if (slots_.empty())
        return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = home(name); slots_[i]; i = (i + 1) & mask)
        if (key(slots_[i]) == name)
            return slots_[i];
    return nullptr;
}

void NameIndex::erase(Item *item)
{
    if (slots_.empty())
        return;
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(key(item));
    while (slots_[i] && slots_[i] != item)
        i = (i + 1) & mask;
    if (!slots_[i])
        return;
    // Backward-shift deletion keeps every probe chain unbroken without
    // tombstones.
    slots_[i] = nullptr;
    --count_;
    for (std::size_t j = (i + 1) & mask; slots_[j]; j = (j + 1) & mask) {
        const std::size_t k = home(key(slots_[j]));
        const bool movable = i <= j ? (k <= i || k > j) : (k <= i && k > j);
        if (movable) {
            slots_[i] = slots_[j];
            slots_[j] = nullptr;
            i = j;
        }
    }
}

// Keeps the slots: a folder resolving its names again fills them with as
// many items as before.
void NameIndex::clear()
{
    std::fill(slots_.begin(), slots_.end(), nullptr);
    count_ = 0;
}

namespace {

std::int64_t now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool validOriginal(std::string_view name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool hasOrigin(const Item &item)
{
    return item.originDir || (item.extra && !item.extra->origin.empty());
}

void fillTimes(Item &item, const struct stat &st)
{
    item.mode = static_cast<std::uint16_t>(st.st_mode & 07777);
    item.modified = st.st_mtime;
    item.accessed = st.st_atime;
    item.created = st.st_ctime;
}

// The order in which automatic names are handed out.
bool resolvesBefore(const Item *a, const Item *b)
{
    if (int c = a->original.compare(b->original))
        return c < 0;
    return a->serial < b->serial;
}

// Runs `fn` on the item and everything below it.
void forEach(Item &item, const std::function<void(Item &)> &fn)
{
    fn(item);
    if (item.dir)
        for (auto &child : item.dir->children)
            if (child)
                forEach(*child, fn);
}

}  // namespace

Directory::Directory()
    : originals(std::nullopt), names{NameIndex(kIso1), NameIndex(kIso2), NameIndex(kVisible)}
{
}

unsigned &Directory::numberHint(int set, std::string_view candidate)
{
    if (!nextNumber)
        nextNumber = std::make_unique<std::unordered_map<std::string, unsigned>>();
    std::string key;
    key.reserve(candidate.size() + 1);
    key += static_cast<char>('0' + set);
    key += candidate;
    return (*nextNumber)[std::move(key)];
}

void Directory::dropNumberHints(int set)
{
    if (!nextNumber)
        return;
    std::erase_if(*nextNumber, [set](const auto &hint) { return hint.first[0] == static_cast<char>('0' + set); });
}

// ---------------------------------------------------------------------------
// Settings

int Settings::visibleNameLimit() const
{
    if (udfType == VORN_UDF_ONLY || (udfType == VORN_UDF_BRIDGE && !joliet))
        return 127;
    if (enhanced)
        return 207;
    return relaxJoliet ? 101 : 64;
}

NameRules Settings::nameRules() const
{
    NameRules r;
    r.asciiCharset = charset == 1;
    r.visibleLimitChars = visibleNameLimit();
    // The ISO 9660:1999 volume holds at most 207 bytes per identifier.
    r.visibleLimitBytes = enhanced ? 207 : 0;
    r.semicolonsAllowed = semicolons != 0;
    r.jolietLimitUnits = relaxJoliet ? 101 : 64;
    return r;
}

LayoutSettings Settings::layoutSettings() const
{
    LayoutSettings s;
    s.joliet = joliet != 0;
    s.iso1999 = enhanced != 0;
    s.rockRidge = rockRidge != 0;
    s.versionSuffix = versionAddition != 0;
    s.modeXa = modeXa != 0;
    s.elTorito = bootable != 0 && !bootImage.empty();
    return s;
}

}  // namespace vorn::engine::data

using namespace vorn::engine::data;

// ---------------------------------------------------------------------------
// Items

const std::string &VornDataCompilationItem::name(NameSet set) const
{
    if (extra && extra->userNames[set])
        return *extra->userNames[set];
    if (set == kVisible && autoNames[kVisible].empty())
        return original;
    return autoNames[set];
}

const std::optional<std::string> *VornDataCompilationItem::userName(NameSet set) const
{
    return extra && extra->userNames[set] ? &extra->userNames[set] : nullptr;
}

std::string VornDataCompilationItem::originPath() const
{
    if (extra && !extra->origin.empty())
        return extra->origin;
    if (originDir)
        return *originDir + "/" + original;
    return {};
}

// ---------------------------------------------------------------------------
// Compilation: structure

VornDataCompilation::VornDataCompilation() : root_(std::make_unique<Item>())
{
    root_->type = VORN_DATA_ITEM_DIRECTORY;
    root_->owner = this;
    root_->dir = std::make_unique<Directory>();
    root_->created = root_->modified = root_->accessed = now();
    for (int s = 0; s < 3; ++s)
        root_->dir->nameGen[s] = nameGen_[s];
    markLayoutDirty(root_.get());
}

VornDataCompilation::~VornDataCompilation()
{
    magic = 0;
}

std::shared_ptr<const std::string> VornDataCompilation::internFolder(std::string_view folder)
{
    // Files arrive folder by folder: the last folder answers most calls.
    if (lastFolder_ && *lastFolder_ == folder)
        return lastFolder_;
    auto &slot = folders_[std::string(folder)];
    auto shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<const std::string>(folder);
        slot = shared;
        // Folders nobody refers to any more are swept once the table has
        // doubled since the last sweep, so the sweeps cost O(1) per folder.
        if (folders_.size() >= foldersSweepAt_) {
            std::erase_if(folders_, [](const auto &entry) { return entry.second.expired(); });
            foldersSweepAt_ = std::max<std::size_t>(1024, 2 * folders_.size());
        }
    }
    lastFolder_ = shared;
    return shared;
}

void VornDataCompilation::countIn(const Item &item, int sign)
{
    const auto delta = static_cast<std::uint64_t>(static_cast<std::int64_t>(sign));
    if (item.isDirectory()) {
        totals_.folders += delta;
        return;
    }
    totals_.files += delta;
    totals_.userBytes += delta * item.size;
    if (item.multisession == VORN_DATA_ITEM_NEW || item.multisession == VORN_DATA_ITEM_REPLACED) {
        totals_.newBytes += delta * item.size;
        totals_.newFileBlocks += delta * blocksFor(item.size);
    } else {
        totals_.onDiscBytes += delta * item.size;
    }
}

// Takes a subtree into the compilation: counts it and schedules its folders
// for naming and layout.
void VornDataCompilation::adopt(Item &top)
{
    forEach(top, [this](Item &item) {
        item.owner = this;
        // An item put back after its deletion keeps its place in creation
        // order (and so its names); any other copy is a new item.
        if (!item.serial || !releasedSerials_.erase(item.serial))
            item.serial = nextSerial();
        countIn(item, +1);
        if (item.dir)
            markLayoutDirty(&item);
    });
}

// Lets go of a subtree leaving the compilation.
void VornDataCompilation::forget(Item &top)
{
    forEach(top, [this](Item &item) {
        countIn(item, -1);
        releasedSerials_.insert(item.serial);
        if (item.dir) {
            uncountLayout(&item);
            dirtyLayout_.erase(&item);
            relocated_.erase(&item);
        }
        item.owner = nullptr;
    });
}

void VornDataCompilation::attach(Item *parent, std::unique_ptr<Item> item)
{
    Directory &d = *parent->dir;
    Item *raw = item.get();
    raw->parent = parent;
    raw->indexInParent = static_cast<std::uint32_t>(d.children.size());
    d.children.push_back(std::move(item));
    if (++d.live > 1)
        d.listingSorted = false;
    d.originals.insert(raw);
    addNames(parent, raw);
    markLayoutDirty(parent);
}

std::unique_ptr<Item> VornDataCompilation::detach(Item *item)
{
    Item *parent = item->parent;
    Directory &d = *parent->dir;
    removeNames(parent, item);
    d.originals.erase(item);
    std::unique_ptr<Item> out = std::move(d.children[item->indexInParent]);
    --d.live;
    item->parent = nullptr;
    markLayoutDirty(parent);
    if (d.children.size() > 64 && d.live < d.children.size() / 2)
        compact(parent);
    return out;
}

void VornDataCompilation::compact(Item *dir)
{
    auto &children = dir->dir->children;
    std::erase(children, nullptr);
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->indexInParent = static_cast<std::uint32_t>(i);
}

Item *VornDataCompilation::createDirectory(Item *parent, std::string_view name,
                                           std::string_view origin, std::uint32_t flags,
                                           bool skipExistenceCheck)
{
    if (!parent || !parent->dir || !validOriginal(name) || (flags & ~VORN_DATA_ITEM_KNOWN_FLAGS))
        return nullptr;
    if (!skipExistenceCheck && (lookup(parent, name, VORN_NAME_ORIGINAL) ||
                                lookup(parent, name, VORN_NAME_VISIBLE)))
        return nullptr;
    auto item = std::make_unique<Item>();
    item->type = VORN_DATA_ITEM_DIRECTORY;
    item->original.assign(name);
    item->flags = flags;
    item->dir = std::make_unique<Directory>();
    item->created = item->modified = item->accessed = item->added = now();
    if (!origin.empty()) {
        struct stat st {};
        if (::stat(std::string(origin).c_str(), &st) == 0)
            fillTimes(*item, st);
        const auto slash = origin.rfind('/');
        if (slash != std::string_view::npos && origin.substr(slash + 1) == name) {
            item->originDir = internFolder(origin.substr(0, slash));
        } else {
            item->extra = std::make_unique<ItemExtra>();
            item->extra->origin.assign(origin);
        }
    }
    for (int s = 0; s < 3; ++s)
        item->dir->nameGen[s] = nameGen_[s];
    Item *raw = item.get();
    adopt(*raw);
    attach(parent, std::move(item));
    return raw;
}

Item *VornDataCompilation::insertNewItem(Item *parent, const std::string &path)
{
    if (!parent || !parent->dir || path.empty() || path.front() != '/')
        return nullptr;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    const std::string_view name = std::string_view(trimmed).substr(slash + 1);
    if (!validOriginal(name))
        return nullptr;

    struct stat st {};
    auto item = std::make_unique<Item>();
    if (::stat(trimmed.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return nullptr;
        item->size = static_cast<std::uint64_t>(st.st_size);
    } else if (::lstat(trimmed.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
        const ssize_t n = ::readlink(trimmed.c_str(), target.data(), target.size());
        if (n < 0)
            return nullptr;
        target.resize(static_cast<std::size_t>(n));
        item->type = VORN_DATA_ITEM_SYMLINK;
        item->extra = std::make_unique<ItemExtra>();
        item->extra->linkTarget = std::move(target);
    } else {
        return nullptr;
    }
    fillTimes(*item, st);
    item->added = now();
    item->original.assign(name);
    item->originDir = internFolder(std::string_view(trimmed).substr(0, slash));
    Item *raw = item.get();
    adopt(*raw);
    attach(parent, std::move(item));
    return raw;
}

std::unique_ptr<Item> VornDataCompilation::copyDetached(const Item &from)
{
    auto copy = std::make_unique<Item>();
    copy->type = from.type;
    copy->original = from.original;
    if (from.extra)
        copy->extra = std::make_unique<ItemExtra>(*from.extra);
    copy->originDir = from.originDir;
    copy->size = from.size;
    copy->modified = from.modified;
    copy->accessed = from.accessed;
    copy->created = from.created;
    copy->added = from.added;
    copy->priority = from.priority;
    copy->multisession = from.multisession;
    copy->flags = from.flags;
    copy->mode = from.mode;
    copy->serial = from.serial;
    copy->extent = from.extent;  // where an imported file lies on the disc
    if (from.dir) {
        copy->dir = std::make_unique<Directory>();
        auto &children = copy->dir->children;
        for (const auto &child : from.dir->children) {
            if (!child)
                continue;
            auto c = copyDetached(*child);
            c->parent = copy.get();
            c->indexInParent = static_cast<std::uint32_t>(children.size());
            copy->dir->originals.insert(c.get());
            children.push_back(std::move(c));
        }
        copy->dir->live = children.size();
        copy->dir->listingSorted = children.size() < 2;
    }
    return copy;
}

Item *VornDataCompilation::insertCopy(Item *parent, const Item &detached)
{
    if (!parent || !parent->dir)
        return nullptr;
    for (int s = 0; s < 3; ++s)
        if (auto *user = detached.userName(static_cast<NameSet>(s)); user && lookup(parent, **user, s + 1))
            return nullptr;
    auto copy = copyDetached(detached);
    Item *raw = copy.get();
    adopt(*raw);
    attach(parent, std::move(copy));
    return raw;
}

bool VornDataCompilation::remove(Item *item)
{
    if (!item || !item->parent)
        return false;
    bool undeletable = false;
    forEach(*item, [&](Item &i) { undeletable = undeletable || (i.flags & VORN_DATA_ITEM_UNDELETABLE); });
    if (undeletable)
        return false;
    auto owned = detach(item);
    forget(*owned);
    return true;
}

bool VornDataCompilation::move(Item *item, Item *dest)
{
    if (!item || !item->parent || !dest || !dest->dir)
        return false;
    for (Item *up = dest; up; up = up->parent)
        if (up == item)
            return false;
    if (item->parent == dest)
        return true;
    for (int s = 0; s < 3; ++s)
        if (auto *user = item->userName(static_cast<NameSet>(s)); user && lookup(dest, **user, s + 1))
            return false;
    const std::uint32_t oldLevel = levelOf(item->parent);
    auto owned = detach(item);
    attach(dest, std::move(owned));
    // A folder's layout depends on its level when deep folders relocate.
    if (item->dir && !settings.deeperThan8 && levelOf(dest) != oldLevel)
        forEach(*item, [this](Item &i) {
            if (i.dir)
                markLayoutDirty(&i);
        });
    return true;
}

bool VornDataCompilation::setName(Item *item, std::string_view name, int kind)
{
    if (!item || !item->parent || kind < 0 || kind > 3)
        return false;
    Item *parent = item->parent;
    Directory &d = *parent->dir;
    if (kind == VORN_NAME_ORIGINAL) {
        if (hasOrigin(*item) || !validOriginal(name))
            return false;
        if (Item *other = lookup(parent, name, kind); other && other != item)
            return false;
        removeNames(parent, item);
        d.originals.erase(item);
        item->original.assign(name);
        d.originals.insert(item);
        addNames(parent, item);
    } else if (name.empty()) {
        // Drops the user's name: the item takes its automatic name again,
        // which depends on the whole folder (the name given up may be what a
        // neighbour now gets), so the folder is resolved again on next read.
        const auto set = static_cast<NameSet>(kind - 1);
        if (!item->userName(set))
            return true;
        d.names[set].erase(item);
        item->extra->userNames[set].reset();
        d.nameGen[set] = 0;
    } else {
        const auto set = static_cast<NameSet>(kind - 1);
        if (!isValidUserName(set, name, item->isDirectory(), settings.nameRules()))
            return false;
        if (Item *other = lookup(parent, name, kind); other && other != item)
            return false;
        d.names[set].erase(item);
        if (d.last[set] == item) {
            d.last[set] = nullptr;
            d.lastKnown[set] = false;
        }
        if (!item->extra)
            item->extra = std::make_unique<ItemExtra>();
        item->extra->userNames[set] = std::string(name);
        // The automatic name it gave up may be what a numbered neighbour
        // would now get.
        if (d.numbered[set] > 0)
            d.nameGen[set] = 0;
        else
            d.names[set].insert(item);
    }
    d.listingSorted = d.live < 2;
    markLayoutDirty(parent);
    return true;
}

// ---------------------------------------------------------------------------
// Names

namespace {

// Settles the automatic name of `item`, new in a folder whose names of `set`
// are resolved, when it sorts before items already named, without resolving
// the folder again. Only what comes before an item decides its name: it takes
// the first name of its sequence (the candidate, then "~1", "~2"...) that no
// user-set name and no item sorting before it holds. If an item sorting after
// it held that name, that item takes the next free name of its own sequence
// the same way, and so down the chain until a name nobody held: every other
// name stays, so the result is what resolving the folder would give. Gives up
// (false, nothing changed) past `budget` lookups, as a long run of clashing
// names would cost more than resolving the folder once.
// The n of "~n" in `name` when it is composeName(candidate, n), else 0.
unsigned numberOf(NameSet set, const Candidate &candidate, std::string_view name, const NameRules &rules)
{
    if (!name.ends_with(candidate.ext))
        return 0;
    const std::string_view head = name.substr(0, name.size() - candidate.ext.size());
    std::size_t digits = 0;
    while (digits < head.size() && digits < 9 && std::isdigit(static_cast<unsigned char>(head[head.size() - 1 - digits])))
        ++digits;
    if (digits == 0 || digits == head.size() || head[head.size() - 1 - digits] != '~')
        return 0;
    unsigned n = 0;
    for (char c : head.substr(head.size() - digits))
        n = n * 10 + static_cast<unsigned>(c - '0');
    return n > 0 && composeName(set, candidate, n, rules) == name ? n : 0;
}

bool nameInBetween(Directory &d, NameSet set, Item *item, const NameRules &rules, std::size_t budget)
{
    struct Step {
        Item *item;
        std::string name;
        bool numbered;
        bool wasNumbered;
    };
    std::vector<Step> chain;
    for (Item *at = item; at;) {
        const Candidate candidate = candidateName(set, at->original, at->isDirectory(), rules);
        const std::string plain = composeName(set, candidate, 0, rules);
        const bool wasNumbered = at != item && at->name(set) != plain;
        // A displaced item's names before the one it held are all taken by
        // items before it: it goes on from there.
        const unsigned first = wasNumbered ? numberOf(set, candidate, at->name(set), rules) : 0;
        Item *displaced = nullptr;
        std::string name = first ? composeName(set, candidate, first, rules) : plain;
        for (unsigned n = first;; name = composeName(set, candidate, ++n, rules)) {
            if (budget-- == 0)
                return false;
            Item *holder = d.names[set].find(name);
            if (!holder)
                break;
            if (holder != at && !holder->userName(set) && resolvesBefore(at, holder)) {
                displaced = holder;
                break;
            }
        }
        const bool numbered = name != plain;
        chain.push_back({at, std::move(name), numbered, wasNumbered});
        at = displaced;
    }
    for (std::size_t i = 1; i < chain.size(); ++i)
        d.names[set].erase(chain[i].item);
    for (Step &step : chain) {
        d.numbered[set] += step.numbered;
        d.numbered[set] -= step.wasNumbered;
        if (set == kVisible && step.name == step.item->original)
            step.item->autoNames[set].clear();
        else
            step.item->autoNames[set] = std::move(step.name);
        d.names[set].insert(step.item);
    }
    return true;
}

}  // namespace

void VornDataCompilation::addNames(Item *dir, Item *item)
{
    Directory &d = *dir->dir;
    const NameRules rules = settings.nameRules();
    for (int si = 0; si < 3; ++si) {
        const auto s = static_cast<NameSet>(si);
        if (d.nameGen[s] != nameGen_[s])
            continue;
        if (item->userName(s)) {
            d.names[s].insert(item);
            continue;
        }
        // A candidate nobody in the folder has leaves every other name as it
        // was. A clash of an item that comes last in resolution order is
        // settled here: everyone else chose before it, so it takes the first
        // free number. Any other clash goes down the chain of the names it
        // moves (nameInBetween), or resolves the folder again.
        const Candidate candidate = candidateName(s, item->original, item->isDirectory(), rules);
        std::string name = composeName(s, candidate, 0, rules);
        const bool comesLast = d.lastKnown[s] && (!d.last[s] || resolvesBefore(d.last[s], item));
        if (d.names[s].find(name)) {
            if (!comesLast) {
                if (!nameInBetween(d, s, item, rules, 2 * d.live + 16))
                    d.nameGen[s] = 0;
                continue;
            }
            unsigned &next = d.numberHint(s, name);
            unsigned n = std::max(next, 1u);
            std::string numberedName = composeName(s, candidate, n, rules);
            while (d.names[s].find(numberedName))
                numberedName = composeName(s, candidate, ++n, rules);
            next = n + 1;
            ++d.numbered[s];
            name = std::move(numberedName);
        }
        if (comesLast || (d.lastKnown[s] && !d.last[s]))
            d.last[s] = item;
        else if (d.lastKnown[s] && resolvesBefore(d.last[s], item))
            d.last[s] = item;
        if (s == kVisible && name == item->original)
            item->autoNames[s].clear();
        else
            item->autoNames[s] = std::move(name);
        d.names[s].insert(item);
    }
}

void VornDataCompilation::removeNames(Item *dir, Item *item)
{
    Directory &d = *dir->dir;
    for (int s = 0; s < 3; ++s) {
        d.names[s].erase(item);
        // Without numbered names nobody waits for the freed name.
        if (d.numbered[s] > 0)
            d.nameGen[s] = 0;
        if (d.last[s] == item) {
            d.last[s] = nullptr;
            d.lastKnown[s] = false;
        }
    }
}

void VornDataCompilation::ensureNames(Item *dir, NameSet set)
{
    if (dir->dir->nameGen[set] != nameGen_[set])
        resolveNames(dir, set);
}

// The automatic names of one set in one folder: user-set names are taken
// first; then the others, in the order of their original names, take their
// candidate or the first free numbered form of it.
void VornDataCompilation::resolveNames(Item *dir, NameSet set)
{
    Directory &d = *dir->dir;
    const NameRules rules = settings.nameRules();
    // The index is the set of names taken so far: user-set names first,
    // then each automatic name as it is chosen.
    d.names[set].clear();
    std::vector<Item *> pool;
    pool.reserve(d.live);
    for (auto &child : d.children) {
        if (!child)
            continue;
        if (child->userName(set)) {
            d.names[set].insert(child.get());
        } else {
            pool.push_back(child.get());
        }
    }
    std::sort(pool.begin(), pool.end(), resolvesBefore);
    std::uint32_t numbered = 0;
    d.dropNumberHints(set);
    for (Item *item : pool) {
        const Candidate candidate = candidateName(set, item->original, item->isDirectory(), rules);
        std::string name = composeName(set, candidate, 0, rules);
        if (d.names[set].find(name)) {
            // Numbers below the hint were taken when tried, and taken names
            // stay taken while resolving: no need to try them again.
            unsigned &next = d.numberHint(set, name);
            unsigned n = std::max(next, 1u);
            std::string numberedName = composeName(set, candidate, n, rules);
            while (d.names[set].find(numberedName))
                numberedName = composeName(set, candidate, ++n, rules);
            next = n + 1;
            ++numbered;
            name = std::move(numberedName);
        }
        if (set == kVisible && name == item->original)
            item->autoNames[set].clear();
        else
            item->autoNames[set] = std::move(name);
        d.names[set].insert(item);
    }
    d.numbered[set] = numbered;
    d.last[set] = pool.empty() ? nullptr : pool.back();
    d.lastKnown[set] = true;
    d.nameGen[set] = nameGen_[set];
    if (set == kVisible)
        d.listingSorted = d.live < 2;
    markLayoutDirty(dir);
}

void VornDataCompilation::namesChanged(bool isoSets, bool visibleSet)
{
    if (isoSets)
        ++nameGen_[kIso1], ++nameGen_[kIso2];
    if (visibleSet)
        ++nameGen_[kVisible];
    layoutChanged();
}

Item *VornDataCompilation::lookup(Item *dir, std::string_view name, int kind)
{
    if (!dir || !dir->dir || kind < 0 || kind > 3)
        return nullptr;
    if (kind == VORN_NAME_ORIGINAL)
        return dir->dir->originals.find(name);
    const auto set = static_cast<NameSet>(kind - 1);
    ensureNames(dir, set);
    return dir->dir->names[set].find(name);
}

Item *VornDataCompilation::fromPath(std::string_view path, int kind)
{
    Item *at = root_.get();
    std::size_t start = 0;
    while (at && start < path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string_view::npos)
            slash = path.size();
        if (slash > start)
            at = lookup(at, path.substr(start, slash - start), kind);
        start = slash + 1;
    }
    return at;
}

const std::string &VornDataCompilation::nameOf(Item *item, int kind)
{
    if (kind == VORN_NAME_ORIGINAL)
        return item->original;
    const auto set = static_cast<NameSet>(kind - 1);
    if (item->parent)
        ensureNames(item->parent, set);
    return item->name(set);
}

std::string VornDataCompilation::fullPath(Item *item, int kind)
{
    if (!item->parent)
        return "/";
    std::vector<const std::string *> parts;
    for (Item *at = item; at->parent; at = at->parent)
        parts.push_back(&nameOf(at, kind));
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        path += "/" + **it;
    return path;
}

void VornDataCompilation::ensureListing(Item *dir)
{
    ensureNames(dir, kVisible);
    Directory &d = *dir->dir;
    if (d.listingSorted && d.children.size() == d.live)
        return;
    compact(dir);
    if (!d.listingSorted) {
        std::sort(d.children.begin(), d.children.end(), [](const auto &a, const auto &b) {
            if (int c = a->name(kVisible).compare(b->name(kVisible)))
                return c < 0;
            return a->serial < b->serial;
        });
        for (std::size_t i = 0; i < d.children.size(); ++i)
            d.children[i]->indexInParent = static_cast<std::uint32_t>(i);
        d.listingSorted = true;
    }
}

Item *VornDataCompilation::firstEntry(Item *dir)
{
    if (!dir || !dir->dir)
        return nullptr;
    ensureListing(dir);
    return dir->dir->children.empty() ? nullptr : dir->dir->children.front().get();
}

Item *VornDataCompilation::nextEntry(Item *item)
{
    Item *dir = item->parent;
    if (!dir)
        return nullptr;
    ensureListing(dir);
    const auto &children = dir->dir->children;
    const std::size_t next = item->indexInParent + std::size_t{1};
    return next < children.size() ? children[next].get() : nullptr;
}

// ---------------------------------------------------------------------------
// Attributes

bool VornDataCompilation::setMultisession(Item *item, int type)
{
    if (type < VORN_DATA_ITEM_NEW || type > VORN_DATA_ITEM_IMPORTED_DIRECTORY)
        return false;
    if (item->owner == this && !item->isDirectory()) {
        countIn(*item, -1);
        item->multisession = type;
        countIn(*item, +1);
    } else {
        item->multisession = type;
    }
    return true;
}

bool VornDataCompilation::refresh(Item *item)
{
    const std::string origin = item->originPath();
    if (origin.empty())
        return true;
    struct stat st {};
    const bool link = item->type == VORN_DATA_ITEM_SYMLINK;
    if ((link ? ::lstat(origin.c_str(), &st) : ::stat(origin.c_str(), &st)) != 0)
        return false;
    const bool isDir = S_ISDIR(st.st_mode);
    if (isDir != item->isDirectory() || (!isDir && !link && !S_ISREG(st.st_mode)))
        return false;
    const bool counted = item->owner == this && !item->isDirectory();
    if (counted)
        countIn(*item, -1);
    fillTimes(*item, st);
    if (!isDir && !link)
        item->size = static_cast<std::uint64_t>(st.st_size);
    if (counted)
        countIn(*item, +1);
    return true;
}

// ---------------------------------------------------------------------------
// Layout and sizes

void VornDataCompilation::markLayoutDirty(Item *dir)
{
    dirtyLayout_.insert(dir);
}

void VornDataCompilation::layoutChanged()
{
    ++layoutGen_;
    forEach(*root_, [this](Item &item) {
        if (item.dir)
            dirtyLayout_.insert(&item);
    });
}

void VornDataCompilation::layoutEntries(Item *dir, std::vector<LayoutEntry> &entries,
                                        std::vector<std::string> &jolietNames)
{
    const NameSet primary = settings.primaryNameSet();
    ensureNames(dir, primary);
    ensureNames(dir, kVisible);
    const LayoutSettings ls = settings.layoutSettings();
    const NameRules rules = settings.nameRules();
    Directory &d = *dir->dir;

    entries.clear();
    jolietNames.clear();
    entries.reserve(d.live);
    bool jolietCut = false;
    for (auto &child : d.children) {
        if (!child)
            continue;
        LayoutEntry e;
        e.primary = child->name(primary);
        e.visible = child->name(kVisible);
        e.joliet = e.visible;
        e.isDirectory = child->isDirectory();
        e.item = child.get();
        if (child->type == VORN_DATA_ITEM_SYMLINK)
            e.linkTarget = child->extra->linkTarget;
        jolietCut = jolietCut || (ls.joliet && utf16Units(e.visible) >
                                                   static_cast<std::size_t>(rules.jolietLimitUnits));
        entries.push_back(e);
    }
    // Visible names longer than a Joliet record holds get Joliet names of
    // their own, made unique the same way as every automatic name.
    if (jolietCut) {
        std::vector<std::size_t> order(entries.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return entries[a].visible < entries[b].visible; });
        jolietNames.resize(entries.size());
        std::unordered_set<std::string_view> taken;
        for (std::size_t i : order) {
            const Candidate c = candidateName(kJolietVolume, entries[i].visible, entries[i].isDirectory, rules);
            unsigned n = 0;
            std::string name = composeName(kJolietVolume, c, 0, rules);
            while (taken.count(name))
                name = composeName(kJolietVolume, c, ++n, rules);
            jolietNames[i] = std::move(name);
            taken.insert(jolietNames[i]);
        }
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].joliet = jolietNames[i];
    }
    if (settings.deeperThan8)
        return;
    if (relocatedAtLevel(levelOf(dir) + 1))
        for (LayoutEntry &e : entries)
            if (e.isDirectory)
                e.relocation = Relocation::kPlaceholder;
    if (dir == root_.get() && !relocated_.empty()) {
        // "RR_MOVED", or its first free numbered form when the root holds
        // that name already.
        const Candidate candidate{"RR_MOVED", ""};
        unsigned n = 0;
        std::string name = composeName(primary, candidate, 0, rules);
        auto taken = [&](const std::string &id) {
            return std::any_of(entries.begin(), entries.end(), [&](const LayoutEntry &e) { return e.primary == id; });
        };
        while (taken(name))
            name = composeName(primary, candidate, ++n, rules);
        relocation_.folderName = std::move(name);
        LayoutEntry e;
        e.primary = e.visible = e.joliet = relocation_.folderName;
        e.isDirectory = true;
        e.relocation = Relocation::kMovedFolder;
        entries.push_back(e);
    }
}

std::uint32_t VornDataCompilation::levelOf(const Item *dir)
{
    std::uint32_t level = 1;
    for (const Item *up = dir->parent; up; up = up->parent)
        ++level;
    return level;
}

void VornDataCompilation::relocationEntries(std::vector<LayoutEntry> &entries) const
{
    entries.clear();
    for (const auto &[item, name] : relocation_.moved) {
        LayoutEntry e;
        e.primary = name;
        e.visible = e.joliet = item->name(kVisible);
        e.isDirectory = true;
        e.relocation = Relocation::kMoved;
        e.item = item;
        entries.push_back(e);
    }
}

// The relocation folder holds the relocated folders under their primary
// names, numbered with "~n" where two of them share one; taken in name
// order, then creation order.
void VornDataCompilation::layoutRelocation(std::vector<Item *> moved, RelocationPlan &out)
{
    const NameSet primary = settings.primaryNameSet();
    const NameRules rules = settings.nameRules();
    for (Item *item : moved) {
        ensureNames(item->parent, primary);
        ensureNames(item->parent, kVisible);
    }
    std::sort(moved.begin(), moved.end(), [&](const Item *a, const Item *b) {
        if (int c = a->name(primary).compare(b->name(primary)))
            return c < 0;
        return a->serial < b->serial;
    });
    out.moved.clear();
    std::unordered_set<std::string> taken;
    for (Item *item : moved) {
        std::string name = item->name(primary);
        const Candidate candidate{name, ""};
        for (unsigned n = 1; taken.count(name); ++n)
            name = composeName(primary, candidate, n, rules);
        taken.insert(name);
        out.moved.emplace_back(item, std::move(name));
    }
    std::vector<LayoutEntry> entries;
    for (const auto &[item, name] : out.moved) {
        LayoutEntry e;
        e.primary = name;
        e.visible = e.joliet = item->name(kVisible);
        e.isDirectory = true;
        e.relocation = Relocation::kMoved;
        e.item = item;
        entries.push_back(e);
    }
    out.layout = vorn::engine::data::layoutDirectory(entries, false, settings.layoutSettings(), false, true);
}

void VornDataCompilation::layoutDirectory(Item *dir, DirectoryLayout &out, bool relocated)
{
    std::vector<LayoutEntry> entries;
    std::vector<std::string> jolietNames;
    layoutEntries(dir, entries, jolietNames);
    out = vorn::engine::data::layoutDirectory(entries, dir == root_.get(), settings.layoutSettings(), relocated);
}

void VornDataCompilation::uncountLayout(Item *dir)
{
    Directory &d = *dir->dir;
    if (!d.layoutCounted)
        return;
    for (int v = 0; v < kVolumes; ++v) {
        extentBlocks_ -= d.layout.extentBlocks[v];
        pathTableBytes_[v] -= d.layout.childPathTableBytes[v];
    }
    continuationBlocks_ -= d.layout.continuationBlocks;
    d.layoutCounted = false;
}

void VornDataCompilation::applyLayout(Item *dir)
{
    uncountLayout(dir);
    Directory &d = *dir->dir;
    const bool relocated = !settings.deeperThan8 && relocatedAtLevel(levelOf(dir));
    if (relocated)
        relocated_.insert(dir);
    else
        relocated_.erase(dir);
    layoutDirectory(dir, d.layout, relocated);
    if (dir == root_.get())
        rootListsRelocation_ = relocating();
    for (int v = 0; v < kVolumes; ++v) {
        extentBlocks_ += d.layout.extentBlocks[v];
        pathTableBytes_[v] += d.layout.childPathTableBytes[v];
    }
    continuationBlocks_ += d.layout.continuationBlocks;
    d.layoutCounted = true;
    d.layoutGen = layoutGen_;
}

std::uint64_t VornDataCompilation::overheadBlocks()
{
    // Laying out a folder may resolve its names, which marks it again: take
    // the set first.
    while (!dirtyLayout_.empty()) {
        std::unordered_set<Item *> dirty;
        dirty.swap(dirtyLayout_);
        for (Item *dir : dirty)
            applyLayout(dir);
        dirtyLayout_.clear();
    }
    // Whether the root lists the relocation folder is known once every
    // folder has its level.
    if (rootListsRelocation_ != relocating()) {
        applyLayout(root_.get());
        dirtyLayout_.clear();
    }
    std::uint64_t extents = extentBlocks_, continuation = continuationBlocks_;
    std::uint64_t pathTables[kVolumes];
    std::copy(std::begin(pathTableBytes_), std::end(pathTableBytes_), pathTables);
    relocation_.moved.clear();
    relocation_.layout = {};
    if (relocating()) {
        layoutRelocation(std::vector<Item *>(relocated_.begin(), relocated_.end()), relocation_);
        dirtyLayout_.clear();
        extents += relocation_.layout.extentBlocks[kPrimary];
        continuation += relocation_.layout.continuationBlocks;
        pathTables[kPrimary] += relocation_.layout.childPathTableBytes[kPrimary];
    }
    // The boot catalog and image count as structure: they are no file.
    return vorn::engine::data::overheadBlocks(extents, continuation, pathTables, settings.layoutSettings()) +
           vorn::engine::iso::bootBlocks(settings);
}

std::uint64_t VornDataCompilation::totalBlocks()
{
    return alreadyOnDiscBlocks + overheadBlocks() + totals_.newFileBlocks;
}

VornDataCompilation::Totals VornDataCompilation::recountTotals() const
{
    Totals t;
    std::function<void(const Item &)> walk = [&](const Item &item) {
        if (item.dir) {
            for (const auto &child : item.dir->children) {
                if (!child)
                    continue;
                if (child->isDirectory()) {
                    ++t.folders;
                } else {
                    ++t.files;
                    t.userBytes += child->size;
                    if (child->multisession <= VORN_DATA_ITEM_REPLACED) {
                        t.newBytes += child->size;
                        t.newFileBlocks += blocksFor(child->size);
                    } else {
                        t.onDiscBytes += child->size;
                    }
                }
                walk(*child);
            }
        }
    };
    walk(*root_);
    return t;
}

std::uint64_t VornDataCompilation::recountOverheadBlocks()
{
    std::uint64_t extents = 0, continuation = 0;
    std::uint64_t pathTables[kVolumes] = {};
    std::vector<Item *> moved;
    forEach(*root_, [&](Item &item) {
        if (item.dir && !settings.deeperThan8 && relocatedAtLevel(levelOf(&item)))
            moved.push_back(&item);
    });
    if (!moved.empty()) {
        RelocationPlan r;
        layoutRelocation(moved, r);
        extents += r.layout.extentBlocks[kPrimary];
        continuation += r.layout.continuationBlocks;
        pathTables[kPrimary] += r.layout.childPathTableBytes[kPrimary];
    }
    forEach(*root_, [&](Item &item) {
        if (!item.dir)
            return;
        DirectoryLayout layout;
        layoutDirectory(&item, layout, !settings.deeperThan8 && relocatedAtLevel(levelOf(&item)));
        for (int v = 0; v < kVolumes; ++v) {
            extents += layout.extentBlocks[v];
            pathTables[v] += layout.childPathTableBytes[v];
        }
        continuation += layout.continuationBlocks;
    });
    return vorn::engine::data::overheadBlocks(extents, continuation, pathTables,
                                              settings.layoutSettings()) +
           vorn::engine::iso::bootBlocks(settings);
}
