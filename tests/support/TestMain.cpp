#include "TestDialogs.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    vorn::test::PrivateHome home;
    testing::InitGoogleTest(&argc, argv);
    vorn::test::installStrictDialogResponder();
    return RUN_ALL_TESTS();
}
