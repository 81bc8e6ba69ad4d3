#include "TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    vorn::test::PrivateHome home;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
