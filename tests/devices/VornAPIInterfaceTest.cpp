// The engine's start as the application makes it: what the settings record
// carries, and how the user-abort flag reaches the engine's callbacks.
#include "UserDialogs.h"
#include "VornAPIInterface.h"
#include "VornControl.h"
#include "VornPaths.h"

#include <gtest/gtest.h>

namespace {

class VornAPIStart : public testing::Test {
protected:
    void TearDown() override
    {
        VornAPI_StopVornAPI();
        VornAPI_SetUserAbort(0);
        VornControl_SetInitResult(-1);
    }
};

TEST_F(VornAPIStart, RecordNamesTheApplicationAndItsCallbacks)
{
    ASSERT_EQ(VornAPI_StartVornAPI(), VORN_INIT_OK);
    const VornSettings *settings = VornAPI_GetSettings();
    EXPECT_STREQ(settings->engineDir, VORN_ENGINE_DIR);
    EXPECT_STREQ(settings->vendor, "Vorn AG");
    EXPECT_STREQ(settings->software, "Vorn Linux");
    ASSERT_NE(settings->languageFile, nullptr);
    EXPECT_NE(std::string(settings->languageFile), "");
    EXPECT_NE(settings->idle, nullptr);
    EXPECT_EQ(settings->idleData, nullptr);
    EXPECT_EQ(settings->userDialog, &UserDialogs_Callback);
    EXPECT_EQ(settings->userDialogData, nullptr);
    EXPECT_EQ(settings->reserved1, 0);
    EXPECT_EQ(settings->reserved2, 0);
}

TEST_F(VornAPIStart, ReturnsTheEngineResultAndCanStartAgainAfterAFailure)
{
    VornControl_SetInitResult(VORN_INIT_ERROR);
    EXPECT_EQ(VornAPI_StartVornAPI(), VORN_INIT_ERROR);
    VornAPI_StopVornAPI();
    VornControl_SetInitResult(-1);
    EXPECT_EQ(VornAPI_StartVornAPI(), VORN_INIT_OK);
}

TEST_F(VornAPIStart, UserAbortReachesTheIdleCallbackAndAnswersEveryQuestion)
{
    ASSERT_EQ(VornAPI_StartVornAPI(), VORN_INIT_OK);
    const VornSettings *settings = VornAPI_GetSettings();

    EXPECT_EQ(settings->idle(settings->idleData), 0);
    EXPECT_EQ(settings->userDialog(nullptr, 99, nullptr), -1) << "a request nobody answers";

    VornAPI_SetUserAbort(1);
    EXPECT_EQ(VornAPI_GetUserAbort(), 1);
    EXPECT_NE(settings->idle(settings->idleData), 0);
    for (int request : {13, 15, 20, 29, 99})
        EXPECT_EQ(settings->userDialog(nullptr, request, nullptr), -2) << request;

    VornAPI_SetUserAbort(0);
    EXPECT_EQ(settings->idle(settings->idleData), 0);
    EXPECT_EQ(settings->userDialog(nullptr, 99, nullptr), -1);
}

}  // namespace
