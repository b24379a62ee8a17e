#include "runtime/dynamic_string.h"

#include <gtest/gtest.h>

#include "runtime/error_numbers.h"
#include "runtime/floating_point.h"

TEST(DynamicString, KeepsTwoZeroBytesAfterItsLastByteAndAnyByteInside) {
    const char bytes[] = {'a', 0, 'b'};
    DynamicString s(bytes, 3);
    ASSERT_EQ(s.Length(), 3);
    EXPECT_EQ(s.Data()[1], 0);
    EXPECT_EQ(s.Data()[3], 0);
    EXPECT_EQ(s.Data()[4], 0);
    EXPECT_EQ(DynamicString().Data(), nullptr);
    EXPECT_EQ(DynamicString("").Data(), nullptr);
}

TEST(DynamicString, CopiesAreIndependentValues) {
    DynamicString a("abc");
    DynamicString b = a;
    b.MutableData()[0] = 'x';
    EXPECT_EQ(a.View(), "abc");
    EXPECT_EQ(b.View(), "xbc");
    ASSERT_TRUE(b.Append("de", 2));
    EXPECT_EQ(b.View(), "xbcde");
    EXPECT_EQ(b.Data()[5], 0);
    EXPECT_EQ(b.Data()[6], 0);
}

TEST(DynamicString, ImpossibleLengthRecordsOutOfMemoryAndStaysEmpty) {
    ErrorSlot slot;
    DynamicString s = DynamicString::OfLength(-1);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(ReadAndClearErrorNumber(), 7);
    DynamicString t("x");
    EXPECT_FALSE(t.Append("y", DynamicString::kMaxLength));
    EXPECT_EQ(t.View(), "x");
    EXPECT_EQ(ReadAndClearErrorNumber(), 7);
}

TEST(CallText, IsTheNullAddressForAnEmptyStringAndACopyOtherwise) {
    EXPECT_EQ(CallText(DynamicString()).Get(), nullptr);
    DynamicString s("abc");
    CallText text(s);
    EXPECT_NE(text.Get(), s.Data());
    EXPECT_STREQ(text.Get(), "abc");
}

TEST(ErrorNumbers, EachProcedureOwnsItsSlot) {
    ErrorSlot caller;
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    RecordErrorNumber(53);
    RecordErrorNumber(70);
    {
        ErrorSlot callee;
        EXPECT_EQ(ReadAndClearErrorNumber(), 0);
        RecordErrorNumber(0);
        EXPECT_EQ(ReadAndClearErrorNumber(), 51);
        RecordErrorNumber(62);
    }
    EXPECT_EQ(ReadAndClearErrorNumber(), 70);
    EXPECT_EQ(ReadAndClearErrorNumber(), 0);
    RecordErrorNumber(241);
    EXPECT_EQ(ReadAndClearErrorNumber(), 241);
}

TEST(FloatingPoint, SettingsAreTheProgramsControlWordAndSurviveASavedCall) {
    SetFloatingPointSettings();
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
    {
        SavedFloatingPointState saved;
        SetDefaultFloatingPointState();
#if defined(__x86_64__) || defined(__i386__)
        EXPECT_EQ(CurrentFloatingPointControlWord(), 0x033F);
#endif
    }
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
}
