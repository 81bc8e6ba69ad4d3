#include "UndoEntry.h"

G_DEFINE_TYPE(UndoEntry, undo_entry, G_TYPE_OBJECT)

static void undo_entry_class_init(UndoEntryClass *) {}

static void undo_entry_init(UndoEntry *entry)
{
    entry->kind = 0;
    entry->emitSignals = 1;
    entry->undo = nullptr;
}

GType UndoEntry_GetType() noexcept
{
    return undo_entry_get_type();
}
