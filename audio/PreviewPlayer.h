/*
 * The audio preview player ("VornPreviewPlayer"): one per process, plays one
 * file or disc track at a time.
 */
#ifndef VORN_PREVIEW_PLAYER_H
#define VORN_PREVIEW_PLAYER_H

#include <glib-object.h>

G_BEGIN_DECLS

#define VORN_TYPE_PREVIEW_PLAYER (PreviewPlayer_GetType())
#define VORN_PREVIEW_PLAYER(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), VORN_TYPE_PREVIEW_PLAYER, PreviewPlayer))
#define IS_VORN_PREVIEW_PLAYER(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), VORN_TYPE_PREVIEW_PLAYER))

typedef struct _PreviewPlayer PreviewPlayer;
typedef struct _PreviewPlayerClass PreviewPlayerClass;

struct _PreviewPlayer {
    GObject parent;
};

struct _PreviewPlayerClass {
    GObjectClass parentClass;
};

GType PreviewPlayer_GetType(void);
/* A new player (one reference). */
PreviewPlayer *PreviewPlayer_New(void);
/* Stops the playback that runs, if any, and waits until it has ended. */
void PreviewPlayer_StopPlayer(PreviewPlayer *player);

G_END_DECLS

#endif
