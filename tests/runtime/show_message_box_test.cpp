#include <gtest/gtest.h>

#include <cfenv>
#include <string>

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/message_box.h"
#include "runtime/message_box_seam.h"

namespace {

class ShowMessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetMessageBoxSeam();
        SetFloatingPointSettings();
    }
    void TearDown() override { ResetMessageBoxSeam(); }
};

TEST_F(ShowMessageBoxTest, PassesTextCaptionAndStyleToTheBox) {
    struct Case {
        const char* name;
        DynamicString text;
        DynamicString title;
        std::uint32_t style;
        std::string shownText;
        std::string caption;
    };
    const Case cases[] = {
        {"empty title gives the default caption", "Error on pmStartDoc= 0", "", 0,
         "Error on pmStartDoc= 0", "Tarnwick"},
        {"a title of one space is kept", "x", " ", 0, "x", " "},
        {"title and stop icon", "Error", "Fenwarth Error", 16, "Error", "Fenwarth Error"},
        {"text up to its zero byte", DynamicString("ab\0cd", 5), "t", 0, "ab", "t"},
        {"style passed unchanged", "x", "t", 0x40041, "x", "t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetNextMessageBoxAnswer(IDOK);
        EXPECT_EQ(ShowMessageBox(c.text, c.title, c.style), IDOK);
        auto requests = TakeMessageBoxRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].owner, nullptr);
        EXPECT_FALSE(requests[0].textIsNull);
        EXPECT_EQ(requests[0].text, c.shownText);
        EXPECT_FALSE(requests[0].captionIsNull);
        EXPECT_EQ(requests[0].caption, c.caption);
        EXPECT_EQ(requests[0].style, c.style);
    }
}

TEST_F(ShowMessageBoxTest, EmptyTextGoesAsAnEmptyTextNotTheNullAddress) {
    SetNextMessageBoxAnswer(IDOK);
    ShowMessageBox(DynamicString(), DynamicString(), 0);
    auto requests = TakeMessageBoxRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].textIsNull);
    EXPECT_EQ(requests[0].text, "");
    EXPECT_EQ(requests[0].caption, "Tarnwick");
}

TEST_F(ShowMessageBoxTest, ReturnsThePlatformAnswerUnchanged) {
    for (int answer : {IDOK, 0, 7}) {
        SetNextMessageBoxAnswer(answer);
        EXPECT_EQ(ShowMessageBox("x", "t", 0), answer);
    }
}

TEST_F(ShowMessageBoxTest, BoxRunsInTheDefaultFloatingPointStateAndTheCallersComesBack) {
    std::uint16_t defaultWord = 0;
    {
        SavedFloatingPointState keep;
        SetDefaultFloatingPointState();
        defaultWord = CurrentFloatingPointControlWord();
    }
    if (defaultWord == kFloatingPointControlWord) {
        GTEST_SKIP() << "no x87 control word on this processor";
    }

    std::uint16_t wordDuringBox = 0;
    SetMessageBoxObserver(
        [&](const MessageBoxRequest&) { wordDuringBox = CurrentFloatingPointControlWord(); });

    SetNextMessageBoxAnswer(IDOK);
    ShowMessageBox("x", "", 0);
    EXPECT_EQ(wordDuringBox, defaultWord);
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);

    // Whatever the caller had comes back, not just the program's settings.
    ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
    std::uint16_t callersWord = CurrentFloatingPointControlWord();
    SetNextMessageBoxAnswer(IDOK);
    ShowMessageBox("x", "", 0);
    EXPECT_EQ(wordDuringBox, defaultWord);
    EXPECT_EQ(CurrentFloatingPointControlWord(), callersWord);
    EXPECT_EQ(std::fegetround(), FE_DOWNWARD);
    std::fesetround(FE_TONEAREST);
    SetFloatingPointSettings();
}

}  // namespace
