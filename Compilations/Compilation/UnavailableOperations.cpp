#include "UnavailableOperations.h"

#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"
#include "Debugger.h"
#include "VornPaths.h"

#include <glib/gi18n.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

struct GFree {
    void operator()(gchar *p) const noexcept { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

constexpr const char *kTextDomain = VORN_PACKAGE_NAME;

const char *kindName(gint32 type)
{
    switch (type) {
    case COMPILATION_TYPE_AUDIO: return N_("audio CD");
    case COMPILATION_TYPE_MIXED_MODE: return N_("mixed-mode CD");
    case COMPILATION_TYPE_ENHANCED: return N_("enhanced CD");
    case COMPILATION_TYPE_IMAGE_FILE: return N_("disc image");
    case COMPILATION_TYPE_DISC_COPY: return N_("disc copy");
    default: return N_("this kind of");
    }
}

gint refuse(Compilation *compilation, gpointer parent, gboolean saving) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return 0;
    OwnedText text(Compilation_DupUnavailableMessage(compilation->type, saving));
    OwnedText markup(g_markup_escape_text(text.get(), -1));
    try {
        std::optional<vorn::dialogs::RoleScope> role;
        if (vorn::dialogs::currentRole().empty())
            role.emplace("compilation-kind-unavailable");
        VornKit_DialogBox_ModalErrorDialog(markup.get(), nullptr, nullptr, static_cast<GtkWidget *>(parent), 0);
    } catch (...) {
        // Only the role's bookkeeping can throw (out of memory): the answer is no all the same.
    }
    return 0;
}

gint checkBeforeBurn(Compilation *compilation, const VornDeviceEntry *, gpointer parent) noexcept
{
    return refuse(compilation, parent, FALSE);
}

gint saveCompilation(Compilation *compilation, const gchar *, gpointer parent) noexcept
{
    return refuse(compilation, parent, TRUE);
}

gpointer createWriteDescription(Compilation *) noexcept
{
    debugger_DummyOut("No write description for this compilation kind.\n");
    return nullptr;
}

void freeWriteDescription(gpointer description) noexcept
{
    std::free(description);
}

guint32 burnFormat(Compilation *) noexcept
{
    return VORN_BURN_MAGIC;
}

}  // namespace

gchar *Compilation_DupUnavailableMessage(gint32 type, gboolean saving) noexcept
{
    const gchar *kind = g_dgettext(kTextDomain, kindName(type));
    const gchar *format = saving ? g_dgettext(kTextDomain, "%s cannot save %s compilations in this version.")
                                 : g_dgettext(kTextDomain, "%s cannot burn %s compilations in this version.");
    return g_strdup_printf(format, VORN_APP_NAME, kind);
}

void Compilation_InstallUnavailableOperations(Compilation *compilation) noexcept
{
    if (!IS_VORN_COMPILATION(compilation))
        return;
    CompilationOperations &operations = compilation->operations;
    operations.CheckBeforeBurn = checkBeforeBurn;
    operations.SaveCompilation = saveCompilation;
    operations.CreateWriteDescription = createWriteDescription;
    operations.FreeWriteDescription = freeWriteDescription;
    operations.GetBurnFormat = burnFormat;
}
