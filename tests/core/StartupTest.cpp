#include "TestEnvironment.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

using vorn::test::runProcess;

TEST(StartupWithoutDisplay, ExplainsHowToRunAndExitsWithOne)
{
    auto r = runProcess({VORN_EXE}, {}, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_NE(r.err.find("X display"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("xvfb-run"), std::string::npos) << r.err;
}
