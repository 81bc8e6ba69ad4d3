// The C entry points of data compilations. Each checks its handles, takes the
// compilation's lock and catches everything: no exception reaches a C caller.
#include "data/DataCompilation.h"
#include "import/SessionImport.h"
#include "iso/IsoWriter.h"

#include <cstdlib>
#include <cstring>
#include <new>
using vorn::engine::data::IdField;
using Item = VornDataCompilationItem;
using Comp = VornDataCompilation;

namespace {

template <class R, class F>
R withComp(Comp *h, R onError, F &&body) noexcept
{
    if (!h || h->magic != Comp::kMagic)
        return onError;
    try {
        std::lock_guard lock(h->mu);
        return body(*h);
    } catch (...) {
        return onError;
    }
}

bool ownItem(Comp &c, Item *item)
{
    return item && item->magic == Item::kMagic && item->owner == &c;
}

// Item calls carry no compilation handle: the item knows its owner, and a
// detached copy needs no lock.
template <class R, class F>
R withItem(Item *item, R onError, F &&body) noexcept
{
    if (!item || item->magic != Item::kMagic)
        return onError;
    try {
        if (Comp *owner = item->owner) {
            std::lock_guard lock(owner->mu);
            return body(*item, owner);
        }
        return body(*item, static_cast<Comp *>(nullptr));
    } catch (...) {
        return onError;
    }
}

thread_local std::string scratchPath;
thread_local std::string scratchOrigin;

// A copy the caller frees with VornFreeMem.
char *engineString(const std::string &text)
{
    auto *out = static_cast<char *>(std::malloc(text.size() + 1));
    if (!out)
        throw std::bad_alloc();
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

int bit(int on)
{
    return on ? 1 : 0;
}

}  // namespace

extern "C" {

VORN_EXPORT Comp *VornDataCompilation_New(void)
{
    try {
        return new Comp();
    } catch (...) {
        return nullptr;
    }
}

VORN_EXPORT void VornDataCompilation_Destroy(Comp *h)
{
    if (!h || h->magic != Comp::kMagic)
        return;
    delete h;
}

VORN_EXPORT int VornDataCompilation_SetExtendedProgress(Comp *h, VornExtendedProgress *progress)
{
    return withComp(h, 0, [&](Comp &c) {
        c.progress = progress;
        return 1;
    });
}

// --- Items and paths ---

VORN_EXPORT Item *VornDataCompilation_GetItemFromPath(Comp *h, const char *path, int kind)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        if (!path || kind < 0 || kind > 3)
            return nullptr;
        return c.fromPath(path, kind);
    });
}

VORN_EXPORT Item *VornDataCompilation_ItemExistsInDirectory(Comp *h, Item *dir, const char *name, int kind)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        if (!ownItem(c, dir) || !name)
            return nullptr;
        return c.lookup(dir, name, kind);
    });
}

VORN_EXPORT Item *VornDataCompilation_CreateDirectory(Comp *h, Item *dir, const char *name,
                                                      const char *origin, uint32_t flags, int reserved,
                                                      int skipExistenceCheck)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        if (!ownItem(c, dir) || !name || reserved != 0)
            return nullptr;
        return c.createDirectory(dir, name, origin ? origin : "", flags, skipExistenceCheck != 0);
    });
}

VORN_EXPORT Item *VornDataCompilation_GetDirectoryFirstEntry(Comp *h, Item *dir)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        return ownItem(c, dir) ? c.firstEntry(dir) : nullptr;
    });
}

VORN_EXPORT Item *VornDataCompilation_GetDirectoryNextEntry(Item *item)
{
    return withItem<Item *>(item, nullptr, [&](Item &i, Comp *owner) -> Item * {
        return owner ? owner->nextEntry(&i) : nullptr;
    });
}

VORN_EXPORT const char *VornDataCompilation_GetItemName(Comp *h, Item *item, int kind)
{
    return withComp<const char *>(h, nullptr, [&](Comp &c) -> const char * {
        if (!ownItem(c, item) || kind < 0 || kind > 3)
            return nullptr;
        return c.nameOf(item, kind).c_str();
    });
}

VORN_EXPORT const char *VornDataCompilation_GetItemChangedName(Comp *h, Item *item, int kind)
{
    return withComp<const char *>(h, nullptr, [&](Comp &c) -> const char * {
        if (!ownItem(c, item) || kind < 0 || kind > 3)
            return nullptr;
        if (kind == VORN_NAME_ORIGINAL)
            return item->original.c_str();
        auto *user = item->userName(static_cast<vorn::engine::data::NameSet>(kind - 1));
        return user ? (*user)->c_str() : nullptr;
    });
}

VORN_EXPORT const char *VornDataCompilation_GetItemFullPath(Comp *h, Item *item, int kind)
{
    return withComp<const char *>(h, nullptr, [&](Comp &c) -> const char * {
        if (!ownItem(c, item) || kind < 0 || kind > 3)
            return nullptr;
        scratchPath = c.fullPath(item, kind);
        return scratchPath.c_str();
    });
}

VORN_EXPORT int VornDataCompilation_SetItemName(Comp *h, Item *item, const char *name, int kind)
{
    return withComp(h, 0, [&](Comp &c) {
        // Kinds 1-3 take NULL like "": back to the automatic name.
        if (!name && kind >= 1 && kind <= 3)
            name = "";
        return ownItem(c, item) && name && c.setName(item, name, kind) ? 1 : 0;
    });
}

VORN_EXPORT int VornDataCompilation_DeleteDirectory(Comp *h, Item *dir)
{
    return withComp(h, 0, [&](Comp &c) {
        return ownItem(c, dir) && dir->isDirectory() && c.remove(dir) ? 1 : 0;
    });
}

VORN_EXPORT int VornDataCompilation_DeleteItem(Comp *h, Item *item)
{
    return withComp(h, 0, [&](Comp &c) {
        return ownItem(c, item) && !item->isDirectory() && c.remove(item) ? 1 : 0;
    });
}

VORN_EXPORT int VornDataCompilation_MoveItem(Comp *h, Item *item, Item *dest, int reserved1, int reserved2)
{
    return withComp(h, 0, [&](Comp &c) {
        if (reserved1 || reserved2 || !ownItem(c, item) || !ownItem(c, dest))
            return 0;
        return c.move(item, dest) ? 1 : 0;
    });
}

VORN_EXPORT Item *VornDataCompilation_CopyItem(Comp *h, Item *item)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        return ownItem(c, item) ? Comp::copyDetached(*item).release() : nullptr;
    });
}

VORN_EXPORT Item *VornDataCompilation_InsertExistingItem(Comp *h, Item *parent, Item *detached)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        if (!ownItem(c, parent) || !detached || detached->magic != Item::kMagic || detached->owner ||
            detached->parent)
            return nullptr;
        return c.insertCopy(parent, *detached);
    });
}

VORN_EXPORT Item *VornDataCompilation_InsertNewItem(Comp *h, Item *dir, const char *path)
{
    return withComp<Item *>(h, nullptr, [&](Comp &c) -> Item * {
        return ownItem(c, dir) && path ? c.insertNewItem(dir, path) : nullptr;
    });
}

// --- Item attributes ---

VORN_EXPORT void VornDataCompilationItem_Destroy(Item *item)
{
    if (!item || item->magic != Item::kMagic || item->owner || item->parent)
        return;
    item->magic = 0;
    delete item;
}

VORN_EXPORT const char *VornDataCompilationItem_GetFilePath(Item *item)
{
    return withItem<const char *>(item, nullptr, [&](Item &i, Comp *) {
        scratchOrigin = i.originPath();
        return scratchOrigin.c_str();
    });
}

#define VORN_ITEM_GETTER(Type, Name, expr)                                              \
    VORN_EXPORT Type VornDataCompilationItem_##Name(Item *item)                         \
    {                                                                                   \
        return withItem<Type>(item, Type{}, [&](Item &i, Comp *) { return static_cast<Type>(expr); }); \
    }
VORN_ITEM_GETTER(uint64_t, GetFileSize, i.size)
VORN_ITEM_GETTER(int64_t, GetLastModifiedTime, i.modified)
VORN_ITEM_GETTER(int64_t, GetLastAccessTime, i.accessed)
VORN_ITEM_GETTER(int64_t, GetCreationTime, i.created)
VORN_ITEM_GETTER(int64_t, GetCompilationAdditionTime, i.added)
VORN_ITEM_GETTER(int32_t, GetPriority, i.priority)
VORN_ITEM_GETTER(int, GetItemMultisessionType, i.multisession)
VORN_ITEM_GETTER(uint32_t, GetSpecialFlags, i.flags)
VORN_ITEM_GETTER(int, GetType, i.type)
#undef VORN_ITEM_GETTER

VORN_EXPORT int VornDataCompilationItem_SetItemMultisessionType(Item *item, int type)
{
    return withItem(item, 0, [&](Item &i, Comp *owner) {
        if (owner)
            return owner->setMultisession(&i, type) ? 1 : 0;
        if (type < VORN_DATA_ITEM_NEW || type > VORN_DATA_ITEM_IMPORTED_DIRECTORY)
            return 0;
        i.multisession = type;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilationItem_SetPriority(Item *item, int32_t priority)
{
    return withItem(item, 0, [&](Item &i, Comp *) {
        i.priority = priority;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilationItem_SetCompilationAdditionTime(Item *item, int64_t time)
{
    return withItem(item, 0, [&](Item &i, Comp *) {
        i.added = time;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilationItem_SetSpecialFlags(Item *item, uint32_t flags, int reserved)
{
    return withItem(item, 0, [&](Item &i, Comp *) {
        if (reserved || (flags & ~static_cast<uint32_t>(VORN_DATA_ITEM_KNOWN_FLAGS)))
            return 0;
        i.flags = flags;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilationItem_Refresh(Item *item)
{
    return withItem(item, 0, [&](Item &i, Comp *owner) {
        if (owner)
            return owner->refresh(&i) ? 1 : 0;
        // A detached copy is refreshed without accounting.
        Comp scratch;
        return scratch.refresh(&i) ? 1 : 0;
    });
}

// --- Medium and sizes ---

VORN_EXPORT int VornDataCompilation_SetMediumType(Comp *h, uint32_t mediumMask)
{
    return withComp(h, 0, [&](Comp &c) {
        if (mediumMask == 0)
            return 0;
        c.settings.medium = mediumMask;
        return 1;
    });
}

VORN_EXPORT uint32_t VornDataCompilation_GetMediumType(Comp *h)
{
    return withComp<uint32_t>(h, 0, [&](Comp &c) { return c.settings.medium; });
}

VORN_EXPORT uint64_t VornDataCompilation_GetSizeAlreadyOnDisc(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.alreadyOnDiscBlocks * vorn::engine::data::kBlockBytes; });
}

VORN_EXPORT uint64_t VornDataCompilation_GetTotalSize(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totalBlocks() * vorn::engine::data::kBlockBytes; });
}

VORN_EXPORT uint32_t VornDataCompilation_GetTotalBlocks(Comp *h)
{
    return withComp<uint32_t>(h, 0, [&](Comp &c) {
        const uint64_t blocks = c.totalBlocks();
        return blocks > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(blocks);
    });
}

VORN_EXPORT uint64_t VornDataCompilation_GetUserDataSize(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totals().userBytes; });
}

VORN_EXPORT uint64_t VornDataCompilation_GetNewFilesSize(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totals().newBytes; });
}

VORN_EXPORT uint64_t VornDataCompilation_GetOnDiscFilesSize(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totals().onDiscBytes; });
}

VORN_EXPORT uint32_t VornDataCompilation_GetFileSystemOverheadBlocks(Comp *h)
{
    return withComp<uint32_t>(h, 0, [&](Comp &c) {
        const uint64_t blocks = c.overheadBlocks();
        return blocks > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(blocks);
    });
}

VORN_EXPORT uint64_t VornDataCompilation_GetFoldersCount(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totals().folders; });
}

VORN_EXPORT uint64_t VornDataCompilation_GetFilesCount(Comp *h)
{
    return withComp<uint64_t>(h, 0, [&](Comp &c) { return c.totals().files; });
}

// --- Settings ---
//
// VORN_INT_SETTING(Name, field, correct, effect): the setter stores
// `correct(value)` and, when the value changed, runs `effect` (names or
// layout depend on it); the getter reads the field.

#define VORN_INT_SETTING(Name, field, correct, effect)                       \
    VORN_EXPORT int VornDataCompilation_Set##Name(Comp *h, int value)          \
    {                                                                        \
        return withComp(h, 0, [&](Comp &c) {                                 \
            const int v = correct;                                           \
            if (c.settings.field != v) {                                     \
                c.settings.field = v;                                        \
                effect;                                                      \
            }                                                                \
            return 1;                                                        \
        });                                                                  \
    }                                                                        \
    VORN_EXPORT int VornDataCompilation_Get##Name(Comp *h)                     \
    {                                                                        \
        return withComp(h, 0, [&](Comp &c) { return c.settings.field; });    \
    }

#define VORN_IN_RANGE(lo, hi, otherwise) (value >= (lo) && value <= (hi) ? value : (otherwise))
#define VORN_NO_EFFECT (void)0

VORN_INT_SETTING(MultisessionType, multisession, VORN_IN_RANGE(0, 2, VORN_MULTISESSION_NONE), VORN_NO_EFFECT)
VORN_INT_SETTING(MultisessionReplace, msReplace, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(MultisessionReplaceType, msReplaceType, VORN_IN_RANGE(0, 1, 0), VORN_NO_EFFECT)
VORN_INT_SETTING(MultisessionRemove, msRemove, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(MultisessionAdd, msAdd, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(MultisessionRefresh, msRefresh, bit(value), VORN_NO_EFFECT)

VORN_INT_SETTING(BootableIsoCompilation, bootable, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(BootSource, bootSource, VORN_IN_RANGE(0, 1, 0), VORN_NO_EFFECT)
VORN_INT_SETTING(BootLocale, bootLocale, VORN_IN_RANGE(0, 19, 3), VORN_NO_EFFECT)
VORN_INT_SETTING(BootExpertFeatures, bootExpert, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(BootEmulationType, bootEmulation, VORN_IN_RANGE(0, 4, 0), VORN_NO_EFFECT)

VORN_INT_SETTING(DVDVideoCompilation, dvdVideo, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(DVDVideoReallocation, dvdRealloc, bit(value), VORN_NO_EFFECT)

VORN_INT_SETTING(Mode2XA, modeXa, bit(value), c.layoutChanged())
VORN_INT_SETTING(EnhancedVolume, enhanced, bit(value), c.namesChanged(false, true))
VORN_INT_SETTING(IsoLevel, isoLevel, value == 1 ? 1 : 0, c.layoutChanged())
VORN_INT_SETTING(Charset, charset, value == 1 ? 1 : 0, c.namesChanged(true, false))
VORN_INT_SETTING(Joliet, joliet, bit(value), c.namesChanged(false, true))
VORN_INT_SETTING(RockRidge, rockRidge, bit(value), c.layoutChanged())
VORN_INT_SETTING(DeeperThan8, deeperThan8, bit(value), c.layoutChanged())
VORN_INT_SETTING(MoreThan255Chars, moreThan255, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(IsoVersionAddition, versionAddition, bit(value), c.layoutChanged())
VORN_INT_SETTING(RelaxJoliet, relaxJoliet, bit(value), c.namesChanged(false, true))
VORN_INT_SETTING(SemicolonsAllowedInJoliet, semicolons, bit(value), c.namesChanged(false, true))

VORN_INT_SETTING(UdfSupportType, udfType, VORN_IN_RANGE(0, 2, 0), c.namesChanged(false, true))
VORN_INT_SETTING(UdfOption, udfOption, VORN_IN_RANGE(0, 2, 0), VORN_NO_EFFECT)
VORN_INT_SETTING(UdfPartitionType, udfPartition, VORN_IN_RANGE(0, 2, 0), VORN_NO_EFFECT)
VORN_INT_SETTING(UdfStandard, udfStandard, VORN_IN_RANGE(0, 5, 0), VORN_NO_EFFECT)

VORN_INT_SETTING(CacheFilesFromDiskOrNetwork, cacheFromNetwork, bit(value), VORN_NO_EFFECT)
VORN_INT_SETTING(CacheSmallFiles, cacheSmallFiles, bit(value), VORN_NO_EFFECT)

#undef VORN_INT_SETTING
#undef VORN_IN_RANGE
#undef VORN_NO_EFFECT

VORN_EXPORT int VornDataCompilation_GetVisibleNameLimit(Comp *h)
{
    return withComp(h, 0, [&](Comp &c) { return c.settings.visibleNameLimit(); });
}

VORN_EXPORT int VornDataCompilation_SetBootLoadSegment(Comp *h, uint16_t segment)
{
    return withComp(h, 0, [&](Comp &c) {
        c.settings.bootSegment = segment;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilation_SetBootLoadSectorsCount(Comp *h, uint16_t count)
{
    return withComp(h, 0, [&](Comp &c) {
        c.settings.bootSectors = count;
        return 1;
    });
}

VORN_EXPORT uint16_t VornDataCompilation_GetBootLoadSegment(Comp *h)
{
    return withComp<uint16_t>(h, 0, [&](Comp &c) { return c.settings.bootSegment; });
}

VORN_EXPORT uint16_t VornDataCompilation_GetBootLoadSectorsCount(Comp *h)
{
    return withComp<uint16_t>(h, 0, [&](Comp &c) { return c.settings.bootSectors; });
}

VORN_EXPORT int VornDataCompilation_SetBootImageFilePath(Comp *h, const char *path)
{
    return withComp(h, 0, [&](Comp &c) {
        if (!path)
            return 0;
        c.settings.bootImage = path;
        return 1;
    });
}

VORN_EXPORT char *VornDataCompilation_GetBootImageFilePath(Comp *h)
{
    return withComp<char *>(h, nullptr, [&](Comp &c) { return engineString(c.settings.bootImage); });
}

VORN_EXPORT int VornDataCompilation_SetBootMessage(Comp *h, const char *message)
{
    return withComp(h, 0, [&](Comp &c) {
        if (!message)
            return 0;
        c.settings.bootMessage = message;
        return 1;
    });
}

VORN_EXPORT char *VornDataCompilation_GetBootMessage(Comp *h)
{
    return withComp<char *>(h, nullptr, [&](Comp &c) { return engineString(c.settings.bootMessage); });
}

VORN_EXPORT int VornDataCompilation_ImportTrack(Comp *h, VornDevice *device, int track)
{
    // The disc is read without the compilation's lock, which the import takes
    // only to enter what it read.
    if (!h || h->magic != Comp::kMagic)
        return 0;
    return vorn::engine::import::importFromDevice(*h, device, track);
}

VORN_EXPORT int VornDataCompilation_CanBeWrittenAsIsoImage(Comp *h)
{
    return withComp(h, 0, [&](Comp &c) { return vorn::engine::iso::canBeWrittenAsIsoImage(c) ? 1 : 0; });
}

// --- Labels and identifiers ---

#define VORN_IDENTIFIER(Name, rank, field)                                                  \
    VORN_EXPORT int VornDataCompilation_SetIso##Name(Comp *h, const char *text)               \
    {                                                                                       \
        return withComp(h, 0, [&](Comp &c) {                                                \
            if (!text)                                                                      \
                return 0;                                                                   \
            c.settings.isoIds[rank] = vorn::engine::data::correctIsoIdentifier(field, text); \
            return 1;                                                                       \
        });                                                                                 \
    }                                                                                       \
    VORN_EXPORT char *VornDataCompilation_GetIso##Name(Comp *h)                               \
    {                                                                                       \
        return withComp<char *>(h, nullptr, [&](Comp &c) { return engineString(c.settings.isoIds[rank]); }); \
    }                                                                                       \
    VORN_EXPORT int VornDataCompilation_SetJoliet##Name(Comp *h, const char *text)            \
    {                                                                                       \
        return withComp(h, 0, [&](Comp &c) {                                                \
            if (!text)                                                                      \
                return 0;                                                                   \
            c.settings.jolietIds[rank] = vorn::engine::data::correctJolietIdentifier(field, text); \
            return 1;                                                                       \
        });                                                                                 \
    }                                                                                       \
    VORN_EXPORT char *VornDataCompilation_GetJoliet##Name(Comp *h)                            \
    {                                                                                       \
        return withComp<char *>(h, nullptr, [&](Comp &c) { return engineString(c.settings.jolietIds[rank]); }); \
    }

VORN_IDENTIFIER(VolumeLabel, 0, IdField::VolumeLabel)
VORN_IDENTIFIER(SystemIdentifier, 1, IdField::SystemId)
VORN_IDENTIFIER(VolumeSetIdentifier, 2, IdField::VolumeSetId)
VORN_IDENTIFIER(PublisherIdentifier, 3, IdField::PublisherId)
VORN_IDENTIFIER(DataPreparerIdentifier, 4, IdField::DataPreparerId)
VORN_IDENTIFIER(ApplicationIdentifier, 5, IdField::ApplicationId)
VORN_IDENTIFIER(CopyrightFileIdentifier, 6, IdField::CopyrightFileId)
VORN_IDENTIFIER(AbstractFileIdentifier, 7, IdField::AbstractFileId)
VORN_IDENTIFIER(BibliographicFileIdentifier, 8, IdField::BibliographicFileId)
#undef VORN_IDENTIFIER

VORN_EXPORT int VornDataCompilation_SetUdfVolumeLabel(Comp *h, const char *text)
{
    return withComp(h, 0, [&](Comp &c) {
        if (!text)
            return 0;
        c.settings.udfLabel = vorn::engine::data::correctUdfLabel(text);
        return 1;
    });
}

VORN_EXPORT char *VornDataCompilation_GetUdfVolumeLabel(Comp *h)
{
    return withComp<char *>(h, nullptr, [&](Comp &c) { return engineString(c.settings.udfLabel); });
}

// --- Dates ---

#define VORN_DATE(Name, index)                                                   \
    VORN_EXPORT int VornDataCompilation_SetVolume##Name##Date(Comp *h, int32_t time) \
    {                                                                            \
        return withComp(h, 0, [&](Comp &c) {                                     \
            c.settings.dates[index] = time;                                      \
            return 1;                                                            \
        });                                                                      \
    }                                                                            \
    VORN_EXPORT int32_t VornDataCompilation_GetVolume##Name##Date(Comp *h)       \
    {                                                                            \
        return withComp<int32_t>(h, -1, [&](Comp &c) { return c.settings.dates[index]; }); \
    }
VORN_DATE(Creation, 0)
VORN_DATE(Modification, 1)
VORN_DATE(Effective, 2)
VORN_DATE(Expiration, 3)
#undef VORN_DATE

VORN_EXPORT int VornDataCompilation_SetFilesDate(Comp *h, int type, int32_t fixedTime)
{
    return withComp(h, 0, [&](Comp &c) {
        c.settings.filesDateType = type >= VORN_FILES_DATE_ORIGINAL && type <= VORN_FILES_DATE_FIXED
                                       ? type
                                       : VORN_FILES_DATE_ORIGINAL;
        c.settings.fixedFilesDate = fixedTime;
        return 1;
    });
}

VORN_EXPORT int VornDataCompilation_GetFilesDateType(Comp *h)
{
    return withComp(h, 0, [&](Comp &c) { return c.settings.filesDateType; });
}

VORN_EXPORT int32_t VornDataCompilation_GetFixedFilesDate(Comp *h)
{
    return withComp<int32_t>(h, -1, [&](Comp &c) { return c.settings.fixedFilesDate; });
}

VORN_EXPORT int VornDataCompilation_SetSmallFilesSizeLimit(Comp *h, int64_t bytes)
{
    return withComp(h, 0, [&](Comp &c) {
        if (bytes < 0)
            return 0;
        c.settings.smallFilesLimit = bytes;
        return 1;
    });
}

VORN_EXPORT int64_t VornDataCompilation_GetSmallFilesSizeLimit(Comp *h)
{
    return withComp<int64_t>(h, 0, [&](Comp &c) { return c.settings.smallFilesLimit; });
}

}  // extern "C"
