// Playback is not written yet: a player never plays, so stopping has nothing to wait for.
#include "PreviewPlayer.h"

G_DEFINE_TYPE(PreviewPlayer, preview_player, G_TYPE_OBJECT)

static void preview_player_class_init(PreviewPlayerClass *) {}

static void preview_player_init(PreviewPlayer *) {}

GType PreviewPlayer_GetType(void)
{
    return preview_player_get_type();
}

PreviewPlayer *PreviewPlayer_New(void)
{
    return VORN_PREVIEW_PLAYER(g_object_new(VORN_TYPE_PREVIEW_PLAYER, nullptr));
}

void PreviewPlayer_StopPlayer(PreviewPlayer *player)
{
    g_return_if_fail(IS_VORN_PREVIEW_PLAYER(player));
}
