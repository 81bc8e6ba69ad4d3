/* Lists an image through the outside image library's reader, as a second
 * opinion on what our writer made.
 *
 *   vorn-iso-read IMAGE rr|joliet|iso1999|plain
 *
 * First line: "features rr=N joliet=N iso1999=N". Then one line per item, in
 * tree order: "d|f|l MODE SIZE MTIME HASH PATH[ -> TARGET]", where HASH is
 * the 64-bit FNV-1a of a file's contents (0 for others) and MODE the
 * permission bits in octal. Exits 1 with a message when the image does not
 * read. */
#include <inttypes.h>
#include <stdint.h>
#include <sys/types.h>
#include <time.h>

#include <libisofs/libisofs.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int list(IsoDir *dir, char *path, size_t len)
{
    IsoDirIter *it = NULL;
    IsoNode *node = NULL;
    if (iso_dir_get_children(dir, &it) < 0)
        return -1;
    while (iso_dir_iter_next(it, &node) == 1) {
        const char *name = iso_node_get_name(node);
        size_t n = strlen(name);
        if (len + 1 + n >= 8192) {
            iso_dir_iter_free(it);
            return -1;
        }
        path[len] = '/';
        memcpy(path + len + 1, name, n + 1);
        unsigned mode = (unsigned)iso_node_get_permissions(node) & 07777;
        long long mtime = (long long)iso_node_get_mtime(node);
        switch (iso_node_get_type(node)) {
        case LIBISO_DIR:
            printf("d %o 0 %lld 0 %s\n", mode, mtime, path);
            if (list((IsoDir *)node, path, len + 1 + n) < 0) {
                iso_dir_iter_free(it);
                return -1;
            }
            break;
        case LIBISO_FILE: {
            IsoFile *file = (IsoFile *)node;
            IsoStream *stream = iso_file_get_stream(file);
            uint64_t hash = 14695981039346656037ull;
            char buf[65536];
            int r;
            if (iso_stream_open(stream) < 0) {
                fprintf(stderr, "cannot open %s\n", path);
                iso_dir_iter_free(it);
                return -1;
            }
            while ((r = iso_stream_read(stream, buf, sizeof buf)) > 0)
                for (int i = 0; i < r; ++i)
                    hash = (hash ^ (unsigned char)buf[i]) * 1099511628211ull;
            iso_stream_close(stream);
            if (r < 0) {
                fprintf(stderr, "cannot read %s\n", path);
                iso_dir_iter_free(it);
                return -1;
            }
            printf("f %o %" PRIu64 " %lld %016" PRIx64 " %s\n", mode, (uint64_t)iso_file_get_size(file),
                   mtime, hash, path);
            break;
        }
        case LIBISO_SYMLINK:
            printf("l %o 0 %lld 0 %s -> %s\n", mode, mtime, path,
                   iso_symlink_get_dest((IsoSymlink *)node));
            break;
        default:
            printf("? %o 0 %lld 0 %s\n", mode, mtime, path);
            break;
        }
    }
    iso_dir_iter_free(it);
    path[len] = '\0';
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s IMAGE rr|joliet|iso1999|plain\n", argv[0]);
        return 2;
    }
    const char *tree = argv[2];
    if (iso_init() < 0)
        return 1;
    iso_set_msgs_severities("NEVER", "FAILURE", "vorn-iso-read");
    IsoDataSource *src = NULL;
    IsoReadOpts *opts = NULL;
    IsoImage *image = NULL;
    IsoReadImageFeatures *features = NULL;
    if (iso_data_source_new_from_file(argv[1], &src) < 0 || iso_read_opts_new(&opts, 0) < 0 ||
        iso_image_new("check", &image) < 0) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    iso_read_opts_set_no_rockridge(opts, strcmp(tree, "rr") != 0);
    iso_read_opts_set_no_joliet(opts, strcmp(tree, "joliet") != 0);
    iso_read_opts_set_no_iso1999(opts, strcmp(tree, "iso1999") != 0);
    int r = iso_image_import(image, src, opts, &features);
    if (r < 0) {
        fprintf(stderr, "import failed: %s\n", iso_error_to_msg(r));
        return 1;
    }
    printf("features rr=%d joliet=%d iso1999=%d\n", iso_read_image_features_has_rockridge(features),
           iso_read_image_features_has_joliet(features), iso_read_image_features_has_iso1999(features));
    static char path[8192];
    path[0] = '\0';
    r = list(iso_image_get_root(image), path, 0);
    iso_read_image_features_destroy(features);
    iso_image_unref(image);
    iso_data_source_unref(src);
    iso_read_opts_free(opts);
    iso_finish();
    return r < 0 ? 1 : 0;
}
