// The compilation-wide commands of a data disc: each code runs one engine call
// on the compilation, or walks the tree for the two name-length listings.
#include "DataDiscPrivate.h"

#include "VfsIoControlCodes.h"
#include "VfsPaths.h"
#include "VfsSupport.h"

#include <cerrno>
#include <string>

namespace vorn::datadisc {

namespace {

using Comp = VornDataCompilation;

// What a code asks for besides its engine call, done once the lock is released.
struct Aftermath {
    bool changed = false;            // "vorn_file_system_changed"
    gint volumeLabelKind = -1;       // "vorn_volume_label_changed" with this kind
    bool oldSessionImported = false; // "vorn_old_session_imported"
};

template <class T>
T &argumentAs(gpointer argument)
{
    return *static_cast<T *>(argument);
}

// A setter's verdict: the engine refusing is EINVAL and tells nobody.
gint settingTaken(int engineResult, Aftermath &after)
{
    if (engineResult != 1) {
        errno = EINVAL;
        return -1;
    }
    after.changed = true;
    return 0;
}

gint giveString(char *engineText, gpointer argument)
{
    argumentAs<gchar *>(argument) = engineText ? g_strdup(engineText) : nullptr;
    VornFreeMem(engineText);
    return 0;
}

using IntSetter = int (*)(Comp *, int);
using IntGetter = int (*)(Comp *);
using TextSetter = int (*)(Comp *, const char *);
using TextGetter = char *(*)(Comp *);
using DateSetter = int (*)(Comp *, int32_t);
using DateGetter = int32_t (*)(Comp *);

// Codes 14-19 and 20-25.
constexpr IntSetter kMultisessionSetters[] = {
    VornDataCompilation_SetMultisessionType,   VornDataCompilation_SetMultisessionReplace,
    VornDataCompilation_SetMultisessionReplaceType, VornDataCompilation_SetMultisessionRemove,
    VornDataCompilation_SetMultisessionAdd,    VornDataCompilation_SetMultisessionRefresh};
constexpr IntGetter kMultisessionGetters[] = {
    VornDataCompilation_GetMultisessionType,   VornDataCompilation_GetMultisessionReplace,
    VornDataCompilation_GetMultisessionReplaceType, VornDataCompilation_GetMultisessionRemove,
    VornDataCompilation_GetMultisessionAdd,    VornDataCompilation_GetMultisessionRefresh};

// Codes 48-58 and 59-68 (71 answers the last setter apart).
constexpr IntSetter kIsoRuleSetters[] = {
    VornDataCompilation_SetMode2XA,         VornDataCompilation_SetEnhancedVolume,
    VornDataCompilation_SetIsoLevel,        VornDataCompilation_SetCharset,
    VornDataCompilation_SetJoliet,          VornDataCompilation_SetRockRidge,
    VornDataCompilation_SetDeeperThan8,     VornDataCompilation_SetMoreThan255Chars,
    VornDataCompilation_SetIsoVersionAddition, VornDataCompilation_SetRelaxJoliet,
    VornDataCompilation_SetSemicolonsAllowedInJoliet};
constexpr IntGetter kIsoRuleGetters[] = {
    VornDataCompilation_GetMode2XA,         VornDataCompilation_GetEnhancedVolume,
    VornDataCompilation_GetIsoLevel,        VornDataCompilation_GetCharset,
    VornDataCompilation_GetJoliet,          VornDataCompilation_GetRockRidge,
    VornDataCompilation_GetDeeperThan8,     VornDataCompilation_GetMoreThan255Chars,
    VornDataCompilation_GetIsoVersionAddition, VornDataCompilation_GetRelaxJoliet};

// Codes 72-75 and 76-79.
constexpr IntSetter kUdfSetters[] = {VornDataCompilation_SetUdfSupportType, VornDataCompilation_SetUdfOption,
                                     VornDataCompilation_SetUdfPartitionType, VornDataCompilation_SetUdfStandard};
constexpr IntGetter kUdfGetters[] = {VornDataCompilation_GetUdfSupportType, VornDataCompilation_GetUdfOption,
                                     VornDataCompilation_GetUdfPartitionType, VornDataCompilation_GetUdfStandard};

// Codes 80-88 / 99-107 (ISO) and 89-97 / 108-116 (Joliet), label first.
constexpr TextSetter kIsoTextSetters[] = {
    VornDataCompilation_SetIsoVolumeLabel,          VornDataCompilation_SetIsoSystemIdentifier,
    VornDataCompilation_SetIsoVolumeSetIdentifier,  VornDataCompilation_SetIsoPublisherIdentifier,
    VornDataCompilation_SetIsoDataPreparerIdentifier, VornDataCompilation_SetIsoApplicationIdentifier,
    VornDataCompilation_SetIsoCopyrightFileIdentifier, VornDataCompilation_SetIsoAbstractFileIdentifier,
    VornDataCompilation_SetIsoBibliographicFileIdentifier};
constexpr TextGetter kIsoTextGetters[] = {
    VornDataCompilation_GetIsoVolumeLabel,          VornDataCompilation_GetIsoSystemIdentifier,
    VornDataCompilation_GetIsoVolumeSetIdentifier,  VornDataCompilation_GetIsoPublisherIdentifier,
    VornDataCompilation_GetIsoDataPreparerIdentifier, VornDataCompilation_GetIsoApplicationIdentifier,
    VornDataCompilation_GetIsoCopyrightFileIdentifier, VornDataCompilation_GetIsoAbstractFileIdentifier,
    VornDataCompilation_GetIsoBibliographicFileIdentifier};
constexpr TextSetter kJolietTextSetters[] = {
    VornDataCompilation_SetJolietVolumeLabel,          VornDataCompilation_SetJolietSystemIdentifier,
    VornDataCompilation_SetJolietVolumeSetIdentifier,  VornDataCompilation_SetJolietPublisherIdentifier,
    VornDataCompilation_SetJolietDataPreparerIdentifier, VornDataCompilation_SetJolietApplicationIdentifier,
    VornDataCompilation_SetJolietCopyrightFileIdentifier, VornDataCompilation_SetJolietAbstractFileIdentifier,
    VornDataCompilation_SetJolietBibliographicFileIdentifier};
constexpr TextGetter kJolietTextGetters[] = {
    VornDataCompilation_GetJolietVolumeLabel,          VornDataCompilation_GetJolietSystemIdentifier,
    VornDataCompilation_GetJolietVolumeSetIdentifier,  VornDataCompilation_GetJolietPublisherIdentifier,
    VornDataCompilation_GetJolietDataPreparerIdentifier, VornDataCompilation_GetJolietApplicationIdentifier,
    VornDataCompilation_GetJolietCopyrightFileIdentifier, VornDataCompilation_GetJolietAbstractFileIdentifier,
    VornDataCompilation_GetJolietBibliographicFileIdentifier};

// Codes 118-121 and 122-125.
constexpr DateSetter kVolumeDateSetters[] = {
    VornDataCompilation_SetVolumeCreationDate, VornDataCompilation_SetVolumeModificationDate,
    VornDataCompilation_SetVolumeEffectiveDate, VornDataCompilation_SetVolumeExpirationDate};
constexpr DateGetter kVolumeDateGetters[] = {
    VornDataCompilation_GetVolumeCreationDate, VornDataCompilation_GetVolumeModificationDate,
    VornDataCompilation_GetVolumeEffectiveDate, VornDataCompilation_GetVolumeExpirationDate};

// Folders are deeper than 8 levels from depth 9 on: a top-level folder has depth 1.
constexpr int kDeepestPlainIsoLevel = 8;
// Paths longer than this (in characters, without the leading "/") need the
// compilation's "more than 255 characters" setting.
constexpr glong kLongestPlainIsoPath = 255;

glong pathLength(const std::string &path)
{
    const char *text = path.c_str() + 1;
    return g_utf8_validate(text, -1, nullptr) ? g_utf8_strlen(text, -1) : static_cast<glong>(path.size() - 1);
}

// Walks the tree below `folder` through the VFS_ functions (the lock is
// recursive), appending what the listing code asks for.
void collect(VirtualFileSystem *vfs, const std::string &folder, int depth, gint code, GList **list)
{
    gpointer handle = VFS_OpenDirectory(vfs, folder.c_str());
    if (!handle)
        return;
    while (VfsDirectoryEntry *raw = VFS_ReadDirectory(vfs, handle)) {
        vfs::EntryPtr entry{raw};
        const std::string path = vfs::childPath(folder, entry->names[VFS_NAME_KIND_USER]);
        const bool isFolder = entry->type == VFS_ENTRY_DIRECTORY;
        const bool listed = code == VFS_IOCTL_LIST_FOLDERS_DEEPER_THAN_8 ? isFolder && depth > kDeepestPlainIsoLevel
                                                                           : pathLength(path) > kLongestPlainIsoPath;
        if (listed)
            *list = g_list_append(*list, g_strdup(path.c_str()));
        if (isFolder)
            collect(vfs, path, depth + 1, code, list);
    }
    VFS_CloseDirectory(vfs, handle);
}

gint run(DataDiscFileSystem *self, gint code, gpointer argument, Aftermath &after)
{
    Comp *c = self->compilation;
    const auto index = [code](int first) { return static_cast<size_t>(code - first); };
    const auto setInt = [&](IntSetter setter) { return settingTaken(setter(c, argumentAs<gint32>(argument)), after); };
    const auto getInt = [&](IntGetter getter) {
        argumentAs<gint32>(argument) = getter(c);
        return 0;
    };

    switch (code) {
    case VFS_IOCTL_SET_MEDIUM_TYPE:
        return settingTaken(VornDataCompilation_SetMediumType(c, argumentAs<guint32>(argument)), after);
    case VFS_IOCTL_GET_MEDIUM_TYPE:
        argumentAs<guint32>(argument) = VornDataCompilation_GetMediumType(c);
        return 0;
    case VFS_IOCTL_GET_SIZE_ALREADY_ON_DISC:
        argumentAs<guint64>(argument) = VornDataCompilation_GetSizeAlreadyOnDisc(c);
        return 0;
    case VFS_IOCTL_GET_TOTAL_SIZE:
        argumentAs<guint64>(argument) = VornDataCompilation_GetTotalSize(c);
        return 0;
    case VFS_IOCTL_GET_TOTAL_BLOCKS:
        argumentAs<guint32>(argument) = VornDataCompilation_GetTotalBlocks(c);
        return 0;
    case VFS_IOCTL_GET_USER_DATA_SIZE:
        argumentAs<guint64>(argument) = VornDataCompilation_GetUserDataSize(c);
        return 0;
    case VFS_IOCTL_GET_NEW_FILES_SIZE:
        argumentAs<guint64>(argument) = VornDataCompilation_GetNewFilesSize(c);
        return 0;
    case VFS_IOCTL_GET_ON_DISC_FILES_SIZE:
        argumentAs<guint64>(argument) = VornDataCompilation_GetOnDiscFilesSize(c);
        return 0;
    case VFS_IOCTL_GET_FILE_SYSTEM_OVERHEAD:
        argumentAs<guint64>(argument) = static_cast<guint64>(VornDataCompilation_GetFileSystemOverheadBlocks(c)) * 2048u;
        return 0;
    case VFS_IOCTL_GET_FOLDERS_COUNT:
        argumentAs<guint64>(argument) = VornDataCompilation_GetFoldersCount(c);
        return 0;
    case VFS_IOCTL_GET_FILES_COUNT:
        argumentAs<guint64>(argument) = VornDataCompilation_GetFilesCount(c);
        return 0;
    case VFS_IOCTL_IMPORT_TRACK: {
        auto &import = argumentAs<DataDiscImportTrackArguments>(argument);
        import.result = VornDataCompilation_ImportTrack(c, import.recorder, import.trackIndex);
        after.volumeLabelKind = VFS_NAME_KIND_JOLIET;
        after.oldSessionImported = true;
        after.changed = true;
        return 0;
    }
    case VFS_IOCTL_SET_MULTISESSION_TYPE ... VFS_IOCTL_SET_MULTISESSION_REFRESH:
        return setInt(kMultisessionSetters[index(VFS_IOCTL_SET_MULTISESSION_TYPE)]);
    case VFS_IOCTL_GET_MULTISESSION_TYPE ... VFS_IOCTL_GET_MULTISESSION_REFRESH:
        return getInt(kMultisessionGetters[index(VFS_IOCTL_GET_MULTISESSION_TYPE)]);

    case VFS_IOCTL_SET_BOOTABLE_ISO_COMPILATION:
        return setInt(VornDataCompilation_SetBootableIsoCompilation);
    case VFS_IOCTL_SET_BOOT_SOURCE:
        return setInt(VornDataCompilation_SetBootSource);
    case VFS_IOCTL_SET_BOOT_IMAGE_FILE_PATH:
        return settingTaken(VornDataCompilation_SetBootImageFilePath(c, static_cast<const char *>(argument)), after);
    case VFS_IOCTL_SET_BOOT_LOCALE:
        return setInt(VornDataCompilation_SetBootLocale);
    case VFS_IOCTL_SET_BOOT_EXPERT_FEATURES:
        return setInt(VornDataCompilation_SetBootExpertFeatures);
    case VFS_IOCTL_SET_BOOT_LOAD_SEGMENT:
        return settingTaken(VornDataCompilation_SetBootLoadSegment(c, argumentAs<guint16>(argument)), after);
    case VFS_IOCTL_SET_BOOT_LOAD_SECTORS_COUNT:
        return settingTaken(VornDataCompilation_SetBootLoadSectorsCount(c, argumentAs<guint16>(argument)), after);
    case VFS_IOCTL_SET_BOOT_EMULATION_TYPE:
        return setInt(VornDataCompilation_SetBootEmulationType);
    case VFS_IOCTL_SET_BOOT_MESSAGE:
        return settingTaken(VornDataCompilation_SetBootMessage(c, static_cast<const char *>(argument)), after);
    case VFS_IOCTL_GET_BOOTABLE_ISO_COMPILATION:
        return getInt(VornDataCompilation_GetBootableIsoCompilation);
    case VFS_IOCTL_GET_BOOT_SOURCE:
        return getInt(VornDataCompilation_GetBootSource);
    case VFS_IOCTL_GET_BOOT_IMAGE_FILE_PATH:
        return giveString(VornDataCompilation_GetBootImageFilePath(c), argument);
    case VFS_IOCTL_GET_BOOT_LOCALE:
        return getInt(VornDataCompilation_GetBootLocale);
    case VFS_IOCTL_GET_BOOT_EXPERT_FEATURES:
        return getInt(VornDataCompilation_GetBootExpertFeatures);
    case VFS_IOCTL_GET_BOOT_LOAD_SEGMENT:
        argumentAs<guint16>(argument) = VornDataCompilation_GetBootLoadSegment(c);
        return 0;
    case VFS_IOCTL_GET_BOOT_LOAD_SECTORS_COUNT:
        argumentAs<guint16>(argument) = VornDataCompilation_GetBootLoadSectorsCount(c);
        return 0;
    case VFS_IOCTL_GET_BOOT_EMULATION_TYPE:
        return getInt(VornDataCompilation_GetBootEmulationType);
    case VFS_IOCTL_GET_BOOT_MESSAGE:
        return giveString(VornDataCompilation_GetBootMessage(c), argument);

    case VFS_IOCTL_SET_DVD_VIDEO_COMPILATION:
        return setInt(VornDataCompilation_SetDVDVideoCompilation);
    case VFS_IOCTL_SET_DVD_VIDEO_REALLOCATION:
        return setInt(VornDataCompilation_SetDVDVideoReallocation);
    case VFS_IOCTL_GET_DVD_VIDEO_COMPILATION:
        return getInt(VornDataCompilation_GetDVDVideoCompilation);
    case VFS_IOCTL_GET_DVD_VIDEO_REALLOCATION:
        return getInt(VornDataCompilation_GetDVDVideoReallocation);

    case VFS_IOCTL_SET_MODE2_XA ... VFS_IOCTL_SET_SEMICOLONS_ALLOWED_IN_JOLIET:
        return setInt(kIsoRuleSetters[index(VFS_IOCTL_SET_MODE2_XA)]);
    case VFS_IOCTL_GET_MODE2_XA ... VFS_IOCTL_GET_RELAX_JOLIET:
        return getInt(kIsoRuleGetters[index(VFS_IOCTL_GET_MODE2_XA)]);
    case VFS_IOCTL_GET_SEMICOLONS_ALLOWED_IN_JOLIET:
        return getInt(VornDataCompilation_GetSemicolonsAllowedInJoliet);
    case VFS_IOCTL_LIST_FOLDERS_DEEPER_THAN_8:
    case VFS_IOCTL_LIST_PATHS_LONGER_THAN_255:
        collect(&self->parent, "/", 1, code, static_cast<GList **>(argument));
        return 0;

    case VFS_IOCTL_SET_UDF_SUPPORT_TYPE ... VFS_IOCTL_SET_UDF_STANDARD:
        return setInt(kUdfSetters[index(VFS_IOCTL_SET_UDF_SUPPORT_TYPE)]);
    case VFS_IOCTL_GET_UDF_SUPPORT_TYPE ... VFS_IOCTL_GET_UDF_STANDARD:
        return getInt(kUdfGetters[index(VFS_IOCTL_GET_UDF_SUPPORT_TYPE)]);

    case VFS_IOCTL_SET_ISO_VOLUME_LABEL ... VFS_IOCTL_SET_ISO_BIBLIOGRAPHIC_FILE_IDENTIFIER: {
        const gint result = settingTaken(
            kIsoTextSetters[index(VFS_IOCTL_SET_ISO_VOLUME_LABEL)](c, static_cast<const char *>(argument)), after);
        if (result == 0 && code == VFS_IOCTL_SET_ISO_VOLUME_LABEL)
            after.volumeLabelKind = VFS_NAME_KIND_ISO_1;
        return result;
    }
    case VFS_IOCTL_SET_JOLIET_VOLUME_LABEL ... VFS_IOCTL_SET_JOLIET_BIBLIOGRAPHIC_FILE_IDENTIFIER: {
        const gint result = settingTaken(
            kJolietTextSetters[index(VFS_IOCTL_SET_JOLIET_VOLUME_LABEL)](c, static_cast<const char *>(argument)),
            after);
        if (result == 0 && code == VFS_IOCTL_SET_JOLIET_VOLUME_LABEL)
            after.volumeLabelKind = VFS_NAME_KIND_USER;
        return result;
    }
    case VFS_IOCTL_SET_UDF_VOLUME_LABEL: {
        const gint result =
            settingTaken(VornDataCompilation_SetUdfVolumeLabel(c, static_cast<const char *>(argument)), after);
        if (result == 0)
            after.volumeLabelKind = VFS_NAME_KIND_USER;
        return result;
    }
    case VFS_IOCTL_GET_ISO_VOLUME_LABEL ... VFS_IOCTL_GET_ISO_BIBLIOGRAPHIC_FILE_IDENTIFIER:
        return giveString(kIsoTextGetters[index(VFS_IOCTL_GET_ISO_VOLUME_LABEL)](c), argument);
    case VFS_IOCTL_GET_JOLIET_VOLUME_LABEL ... VFS_IOCTL_GET_JOLIET_BIBLIOGRAPHIC_FILE_IDENTIFIER:
        return giveString(kJolietTextGetters[index(VFS_IOCTL_GET_JOLIET_VOLUME_LABEL)](c), argument);
    case VFS_IOCTL_GET_UDF_VOLUME_LABEL:
        return giveString(VornDataCompilation_GetUdfVolumeLabel(c), argument);

    case VFS_IOCTL_SET_VOLUME_CREATION_DATE ... VFS_IOCTL_SET_VOLUME_EXPIRATION_DATE:
        return settingTaken(kVolumeDateSetters[index(VFS_IOCTL_SET_VOLUME_CREATION_DATE)](c, argumentAs<gint32>(argument)),
                            after);
    case VFS_IOCTL_GET_VOLUME_CREATION_DATE ... VFS_IOCTL_GET_VOLUME_EXPIRATION_DATE:
        argumentAs<gint32>(argument) = kVolumeDateGetters[index(VFS_IOCTL_GET_VOLUME_CREATION_DATE)](c);
        return 0;
    case VFS_IOCTL_SET_FILES_DATE_TYPE:
        return settingTaken(
            VornDataCompilation_SetFilesDate(c, argumentAs<gint32>(argument), VornDataCompilation_GetFixedFilesDate(c)),
            after);
    case VFS_IOCTL_SET_FIXED_FILES_DATE:
        return settingTaken(
            VornDataCompilation_SetFilesDate(c, VornDataCompilation_GetFilesDateType(c), argumentAs<gint32>(argument)),
            after);
    case VFS_IOCTL_GET_FILES_DATE_TYPE:
        return getInt(VornDataCompilation_GetFilesDateType);
    case VFS_IOCTL_GET_FIXED_FILES_DATE:
        argumentAs<gint32>(argument) = VornDataCompilation_GetFixedFilesDate(c);
        return 0;

    case VFS_IOCTL_SET_CACHE_FILES_FROM_DISK_OR_NETWORK:
        return setInt(VornDataCompilation_SetCacheFilesFromDiskOrNetwork);
    case VFS_IOCTL_SET_CACHE_SMALL_FILES:
        return setInt(VornDataCompilation_SetCacheSmallFiles);
    case VFS_IOCTL_SET_SMALL_FILES_SIZE_LIMIT:
        return settingTaken(VornDataCompilation_SetSmallFilesSizeLimit(c, argumentAs<gint64>(argument)), after);
    case VFS_IOCTL_GET_CACHE_FILES_FROM_DISK_OR_NETWORK:
        return getInt(VornDataCompilation_GetCacheFilesFromDiskOrNetwork);
    case VFS_IOCTL_GET_CACHE_SMALL_FILES:
        return getInt(VornDataCompilation_GetCacheSmallFiles);
    case VFS_IOCTL_GET_SMALL_FILES_SIZE_LIMIT:
        argumentAs<gint64>(argument) = VornDataCompilation_GetSmallFilesSizeLimit(c);
        return 0;

    case VFS_IOCTL_CAN_BE_WRITTEN_AS_ISO_IMAGE:
        return getInt(VornDataCompilation_CanBeWrittenAsIsoImage);
    default:
        errno = EINVAL;
        return -1;
    }
}

}  // namespace

gint ioControl(VirtualFileSystem *vfs, gint code, gpointer argument) noexcept
{
    return vfs::guarded<gint>(-1, [&]() -> gint {
        auto *self = reinterpret_cast<DataDiscFileSystem *>(vfs);
        if (!argument) {
            errno = EINVAL;
            return -1;
        }
        Aftermath after;
        gint result;
        {
            auto guard = lockTree(self);
            result = run(self, code, argument, after);
        }
        if (result != 0)
            return -1;
        if (after.volumeLabelKind >= 0)
            emitVolumeLabelChanged(self, after.volumeLabelKind);
        if (after.oldSessionImported)
            emitOldSessionImported(self);
        if (after.changed)
            emitFileSystemChanged(self);
        return 0;
    });
}

}  // namespace vorn::datadisc
