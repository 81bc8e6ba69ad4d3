#include "import/SessionImport.h"

#include "DiscInfo.h"
#include "Engine.h"

#include <libisofs/libisofs.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

namespace vorn::engine::import {

using data::blocksFor;
using Item = VornDataCompilationItem;

namespace {

// A refusal with a sentence for the user.
struct ImportError {
    std::string message;
};

// The reader's global set-up, once per process: names arrive as UTF-8 like
// every name of a compilation, and a problem the reader would only warn about
// and work around (a damaged record skipped) stops the import instead, so that
// a damaged session is refused rather than imported in part.
void initReader()
{
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        result = iso_init();
        if (result < 0)
            return;
        iso_set_msgs_severities(const_cast<char *>("NEVER"), const_cast<char *>("NEVER"),
                                const_cast<char *>("vorn"));
        iso_set_abort_severity(const_cast<char *>("SORRY"));
        iso_set_local_charset(const_cast<char *>("UTF-8"), 0);
    });
    if (result < 0)
        throw ImportError{"The ISO 9660 reader could not be started."};
}

// Blocks of the disc as the reader asks for them: the 2048 user bytes of
// any data track up to the end of the imported one. Everything a session
// refers to lies there; anything else is a damaged pointer.
struct DiscSource {
    const vrn::VrnDisc *disc = nullptr;
    std::uint32_t end = 0;
    std::vector<std::uint8_t> block;
};

int sourceOpen(IsoDataSource *) { return 1; }
int sourceClose(IsoDataSource *) { return 1; }
void sourceFree(IsoDataSource *) {}

int sourceRead(IsoDataSource *src, uint32_t lba, uint8_t *out)
{
    try {
        auto *s = static_cast<DiscSource *>(src->data);
        if (lba >= s->end)
            return ISO_DATA_SOURCE_FAILURE;
        for (const vrn::Track &t : s->disc->tracks()) {
            if (t.type != vrn::TrackType::Data || lba < t.start || lba >= t.end())
                continue;
            s->block.resize(t.blockSize);
            if (!s->disc->readBlocks(lba, s->block, t.blockSize))
                return ISO_DATA_SOURCE_FAILURE;
            const auto user = userData(s->block, t.blockSize, t.mode);
            if (user.size() < data::kBlockBytes)
                return ISO_DATA_SOURCE_FAILURE;
            std::memcpy(out, user.data(), data::kBlockBytes);
            return 1;
        }
    } catch (...) {
    }
    return ISO_DATA_SOURCE_FAILURE;
}

struct ReaderObjects {
    IsoReadOpts *opts = nullptr;
    IsoImage *image = nullptr;
    IsoReadImageFeatures *features = nullptr;
    ~ReaderObjects()
    {
        if (features)
            iso_read_image_features_destroy(features);
        if (image)
            iso_image_unref(image);
        if (opts)
            iso_read_opts_free(opts);
    }
};

bool validName(std::string_view name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// Builds the detached items of one folder of the session.
class TreeBuilder {
public:
    TreeBuilder(std::uint32_t sessionEnd, std::int64_t now) : end_(sessionEnd), now_(now) {}

    void folder(IsoDir *dir, Item &into, const std::string &path)
    {
        IsoDirIter *it = nullptr;
        if (iso_dir_get_children(dir, &it) < 0)
            throw ImportError{"The folder \"" + path + "\" of the session cannot be read."};
        std::unique_ptr<IsoDirIter, decltype(&iso_dir_iter_free)> iter(it, iso_dir_iter_free);
        IsoNode *node = nullptr;
        while (iso_dir_iter_next(iter.get(), &node) == 1) {
            const enum IsoNodeType type = iso_node_get_type(node);
            // The boot catalog and device files have nothing a new session
            // could point at.
            if (type == LIBISO_BOOT || type == LIBISO_SPECIAL)
                continue;
            const char *rawName = iso_node_get_name(node);
            const std::string name = rawName ? rawName : "";
            const std::string childPath = path + "/" + name;
            if (!validName(name))
                throw ImportError{"The session holds an item with an invalid name in \"" + path + "/\"."};
            if (into.dir->originals.find(name))
                throw ImportError{"The session holds \"" + childPath + "\" twice."};

            auto item = std::make_unique<Item>();
            item->original = name;
            item->mode = static_cast<std::uint16_t>(iso_node_get_permissions(node) & 07777);
            item->modified = iso_node_get_mtime(node);
            item->accessed = iso_node_get_atime(node);
            item->created = iso_node_get_ctime(node);
            item->added = now_;
            if (type == LIBISO_DIR) {
                item->type = VORN_DATA_ITEM_DIRECTORY;
                item->multisession = VORN_DATA_ITEM_IMPORTED_DIRECTORY;
                item->dir = std::make_unique<data::Directory>();
                folder(reinterpret_cast<IsoDir *>(node), *item, childPath);
            } else if (type == LIBISO_SYMLINK) {
                item->type = VORN_DATA_ITEM_SYMLINK;
                item->multisession = VORN_DATA_ITEM_IMPORTED_FILE;
                item->extra = std::make_unique<data::ItemExtra>();
                const char *dest = iso_symlink_get_dest(reinterpret_cast<IsoSymlink *>(node));
                item->extra->linkTarget = dest ? dest : "";
            } else {
                file(reinterpret_cast<IsoFile *>(node), *item, childPath);
            }
            item->parent = &into;
            item->indexInParent = static_cast<std::uint32_t>(into.dir->children.size());
            into.dir->originals.insert(item.get());
            into.dir->children.push_back(std::move(item));
            ++into.dir->live;
        }
        into.dir->listingSorted = into.dir->live < 2;
    }

private:
    void file(IsoFile *file, Item &item, const std::string &path)
    {
        item.type = VORN_DATA_ITEM_FILE;
        item.multisession = VORN_DATA_ITEM_IMPORTED_FILE;
        const off_t size = iso_file_get_size(file);
        if (size < 0)
            throw ImportError{"The file \"" + path + "\" of the session has no valid size."};
        item.size = static_cast<std::uint64_t>(size);
        int count = 0;
        struct iso_file_section *sections = nullptr;
        const int r = iso_file_get_old_image_sections(file, &count, &sections, 0);
        std::unique_ptr<struct iso_file_section, decltype(&std::free)> owned(sections, std::free);
        if (r < 0 || (r == 0 && item.size > 0))
            throw ImportError{"The place of the file \"" + path + "\" on the disc cannot be read."};
        if (item.size == 0)
            return;
        // One extent per file is what a directory record of ours holds; a
        // file stored in pieces cannot be carried into a new session.
        if (count != 1 || sections[0].size != item.size)
            throw ImportError{"The file \"" + path +
                              "\" is stored on the disc in several pieces, which a new session cannot refer to."};
        const std::uint64_t first = sections[0].block;
        if (first < data::kSystemAreaBlocks || first + blocksFor(item.size) > end_)
            throw ImportError{"The file \"" + path + "\" points outside the session: the session is damaged."};
        item.extent = static_cast<std::uint32_t>(first);
    }

    std::uint32_t end_;
    std::int64_t now_;
};

const vrn::Track &chooseTrack(const vrn::VrnDisc &disc, int trackIndex)
{
    const auto &tracks = disc.tracks();
    if (trackIndex == -1) {
        for (auto it = tracks.rbegin(); it != tracks.rend(); ++it)
            if (it->type == vrn::TrackType::Data && !(it->flags & vrn::kTrackIncomplete))
                return *it;
        throw ImportError{"The disc holds no data track."};
    }
    if (trackIndex < 0 || static_cast<std::size_t>(trackIndex) >= tracks.size())
        throw ImportError{"The disc has no track " + std::to_string(trackIndex + 1) + "."};
    const vrn::Track &t = tracks[static_cast<std::size_t>(trackIndex)];
    if (t.type != vrn::TrackType::Data)
        throw ImportError{"Track " + std::to_string(t.number) + " is not a data track."};
    if (t.flags & vrn::kTrackIncomplete)
        throw ImportError{"Track " + std::to_string(t.number) + " was not written completely."};
    return t;
}

// Removes what an earlier import entered, keeping folders that hold items of
// the user. True when `dir` is left without any item.
bool dropImported(VornDataCompilation &c, Item *dir)
{
    std::vector<Item *> children;
    for (auto &child : dir->dir->children)
        if (child)
            children.push_back(child.get());
    for (Item *child : children) {
        if (child->isDirectory()) {
            if (dropImported(c, child) && child->multisession == VORN_DATA_ITEM_IMPORTED_DIRECTORY)
                c.remove(child);
        } else if (child->multisession == VORN_DATA_ITEM_IMPORTED_FILE) {
            c.remove(child);
        }
    }
    return dir->dir->live == 0;
}

// Enters the imported folder `from` into the compilation's folder `dir`.
void merge(VornDataCompilation &c, Item *dir, const Item &from)
{
    for (const auto &child : from.dir->children) {
        if (!child)
            continue;
        if (Item *existing = c.lookup(dir, child->original, VORN_NAME_ORIGINAL)) {
            if (existing->isDirectory() && child->isDirectory()) {
                merge(c, existing, *child);
            } else if (!existing->isDirectory() && existing->multisession == VORN_DATA_ITEM_NEW) {
                c.setMultisession(existing, VORN_DATA_ITEM_REPLACED);
            }
            continue;
        }
        // Refused only for names set by the user, which imported items lack.
        c.insertCopy(dir, *child);
    }
}

}  // namespace

std::uint32_t nextSessionStart(const vrn::VrnDisc &disc)
{
    const DiscView view = viewOf(disc, false);
    if (view.state != vrn::DiscState::Closed)
        if (auto next = nextTrackStart(view))
            return *next;
    std::uint32_t end = 0;
    for (const vrn::Track &t : disc.tracks())
        end = std::max(end, t.end());
    return end;
}

ImportResult importTrack(VornDataCompilation &c, const vrn::VrnDisc &disc, int trackIndex)
{
    ImportResult result;
    try {
        const vrn::Track &track = chooseTrack(disc, trackIndex);
        initReader();

        DiscSource source;
        source.disc = &disc;
        source.end = track.end();
        IsoDataSource src{};
        src.version = 0;
        src.refcount = 1;
        src.open = sourceOpen;
        src.close = sourceClose;
        src.read_block = sourceRead;
        src.free_data = sourceFree;
        src.data = &source;

        ReaderObjects r;
        if (iso_read_opts_new(&r.opts, 0) < 0 || iso_image_new("import", &r.image) < 0)
            throw std::bad_alloc();
        iso_read_opts_set_start_block(r.opts, track.start);
        iso_read_opts_set_no_rockridge(r.opts, 0);
        iso_read_opts_set_no_joliet(r.opts, 0);
        iso_read_opts_set_no_iso1999(r.opts, 0);
        iso_read_opts_set_no_aaip(r.opts, 1);
        iso_read_opts_set_no_md5(r.opts, 1);
        iso_read_opts_set_input_charset(r.opts, "UTF-8");
        const int imported = iso_image_import(r.image, &src, r.opts, &r.features);
        if (imported < 0)
            throw ImportError{"Track " + std::to_string(track.number) +
                              " holds no readable ISO 9660 session: " + iso_error_to_msg(imported) + "."};
        // A later session's volume space counts from block 0 of the disc.
        if (iso_read_image_features_get_size(r.features) > track.end())
            throw ImportError{"The session of track " + std::to_string(track.number) +
                              " claims more blocks than the track holds: the session is damaged."};

        Item top;
        top.type = VORN_DATA_ITEM_DIRECTORY;
        top.dir = std::make_unique<data::Directory>();
        TreeBuilder(track.end(), static_cast<std::int64_t>(std::time(nullptr)))
            .folder(iso_image_get_root(r.image), top, "");
        const char *volumeId = iso_image_get_volume_id(r.image);
        const std::string label = volumeId ? volumeId : "";
        const std::uint32_t sessionStart = nextSessionStart(disc);

        // Everything is read and checked; from here on only the compilation
        // changes.
        std::lock_guard lock(c.mu);
        dropImported(c, c.root());
        merge(c, c.root(), top);
        c.alreadyOnDiscBlocks = sessionStart;
        if (!label.empty()) {
            c.settings.isoIds[0] = data::correctIsoIdentifier(data::IdField::VolumeLabel, label);
            c.settings.jolietIds[0] = data::correctJolietIdentifier(data::IdField::VolumeLabel, label);
            c.settings.udfLabel = data::correctUdfLabel(label);
        }
        result.ok = true;
    } catch (const ImportError &e) {
        result.error = e.message;
    } catch (const std::bad_alloc &) {
        result.error = "Not enough memory to import the session.";
    }
    return result;
}

int importFromDevice(VornDataCompilation &c, VornDevice *device, int trackIndex) noexcept
{
    try {
        auto &e = Engine::instance();
        std::filesystem::path path;
        std::string refusal;
        {
            std::lock_guard lock(e.mu);
            e.errorLog.clear();
            auto drive = e.driveOf(device);
            if (!drive)
                return 0;
            if (drive->imageRecorder || !drive->disc || e.readiness(*drive) != VORN_READY)
                refusal = "The drive holds no disc that is ready.";
            else
                path = drive->disc->path;
        }
        ImportResult r;
        if (refusal.empty()) {
            auto disc = vrn::VrnDisc::open(path, vrn::VrnDisc::Access::ReadOnly);
            if (disc)
                r = importTrack(c, disc.value(), trackIndex);
            else
                r.error = "The disc cannot be read: " + disc.error();
        } else {
            r.error = refusal;
        }
        if (!r.ok) {
            std::lock_guard lock(e.mu);
            e.logError(e.messages.get(msg::kImportFailed, {r.error}));
        }
        return r.ok ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace vorn::engine::import
