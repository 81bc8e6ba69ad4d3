#include "TestDialogs.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    vorn::test::PrivateHome home;
    testing::InitGoogleTest(&argc, argv);
    vorn::test::installStrictDialogResponder();
    // Listing the tests needs no display; running them does.
    if (!testing::GTEST_FLAG(list_tests)) {
        if (!gtk_init_check(&argc, &argv)) {
            std::fprintf(stderr, "GUI tests need an X display: run them through tools/test.sh "
                                 "or under xvfb-run -a\n");
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
