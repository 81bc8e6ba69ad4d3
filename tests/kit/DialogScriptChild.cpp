// A program without a display that asks the dialogs named on its command line,
// so that tests can drive the dialog script and record from outside. Each
// argument is one dialog, fields separated by '|':
//   <info|error|warning|question>|<title or ->|<heading or ->|<text>|<cancel>|<role>
//   string|<title or ->|<heading or ->|<text>|<initial text>|<maximum length>|<role>
// It prints one line per dialog: the kind and the response, or for a string
// dialog the text returned ("(none)" when none).
#include "DialogBox/DialogBox.h"
#include "DialogBox/DialogResponder.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> split(const std::string &s)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        auto bar = s.find('|', start);
        fields.push_back(s.substr(start, bar - start));
        if (bar == std::string::npos)
            return fields;
        start = bar + 1;
    }
}

const char *orNull(const std::string &s) { return s == "-" ? nullptr : s.c_str(); }

}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        auto f = split(argv[i]);
        if (f.size() != 7 && !(f.size() == 6 && f[0] != "string")) {
            std::fprintf(stderr, "bad dialog argument: %s\n", argv[i]);
            return 2;
        }
        vorn::dialogs::RoleScope role(f.back());
        if (f[0] == "string") {
            gchar *text = VornKit_DialogBox_ModalStringDialog(f[3].c_str(), orNull(f[2]), orNull(f[1]),
                                                              f[4].c_str(), std::atoi(f[5].c_str()), nullptr, 1,
                                                              nullptr, nullptr, nullptr);
            std::printf("string %s\n", text ? text : "(none)");
            g_free(text);
            continue;
        }
        using Modal = gint (*)(const gchar *, const gchar *, const gchar *, GtkWidget *, gint);
        Modal modal = f[0] == "info"      ? VornKit_DialogBox_ModalInfoDialog
                      : f[0] == "error"   ? VornKit_DialogBox_ModalErrorDialog
                      : f[0] == "warning" ? VornKit_DialogBox_ModalWarningDialog
                                          : VornKit_DialogBox_ModalQuestionDialog;
        gint response = modal(f[3].c_str(), orNull(f[2]), orNull(f[1]), nullptr, std::atoi(f[4].c_str()));
        std::printf("%s %d\n", f[0].c_str(), response);
        std::fflush(stdout);
    }
    return 0;
}
