#include "TestDialogs.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    vorn::test::PrivateHome home;
    testing::InitGoogleTest(&argc, argv);
    vorn::test::installStrictDialogResponder();
    // Listing the tests needs no display; running them does.
    if (!testing::GTEST_FLAG(list_tests)) {
        // A virtual X server shared by many test processes on a loaded
        // machine can refuse a connection for a moment; only a display that
        // stays unreachable is a reason to fail.
        bool connected = false;
        for (int attempt = 0; attempt < 10 && !connected; ++attempt) {
            connected = gtk_init_check(&argc, &argv);
            if (!connected)
                g_usleep(300 * 1000);
        }
        if (!connected) {
            const char *display = std::getenv("DISPLAY");
            std::fprintf(stderr, "GUI tests need an X display (DISPLAY=%s): run them through "
                                 "tools/test.sh or under xvfb-run -a\n",
                         display ? display : "(unset)");
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
