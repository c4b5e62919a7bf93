#include "platform/text/int_conv.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct ConvRow {
  std::string text;
  std::optional<int32_t> value;  // nullopt: the conversion fails
};

class IntegerConversion : public testing::TestWithParam<ConvRow> {};

TEST_P(IntegerConversion, ConvertsOrFailsAsTheRulesSay) {
  const ConvRow& row = GetParam();
  EXPECT_EQ(platform::TryStrToInt(row.text), row.value);
  EXPECT_EQ(platform::StrToIntDef(row.text, 4711), row.value.value_or(4711));
  if (row.value) {
    EXPECT_EQ(platform::StrToInt(row.text), *row.value);
  } else {
    EXPECT_THROW(platform::StrToInt(row.text), platform::ConvertError);
  }
}

// clang-format off
const ConvRow kRows[] = {
    // Byte-code groups of the "ASCII" tab.
    {"033", 33}, {"006", 6}, {"256", 256}, {"300", 300}, {"999", 999}, {" 65", 65},
    {"65 ", std::nullopt}, {"abc", std::nullopt}, {"-01", -1}, {"5a", std::nullopt},
    {"$1F", 31}, {"0x10", 16}, {"X1f", 31}, {"+5", 5},
    // Blanks: only the space character, only in front.
    {"\t5", std::nullopt}, {"   7", 7}, {" -7", -7}, {"- 7", std::nullopt},
    {"5\n", std::nullopt}, {"", std::nullopt}, {"   ", std::nullopt}, {"+", std::nullopt},
    {"-", std::nullopt}, {"+-1", std::nullopt}, {"1 2", std::nullopt}, {"1.0", std::nullopt},
    // Decimal range: signed 32 bits, leading zeros never octal.
    {"0", 0}, {"-0", 0}, {"0800", 800}, {"0000000000000000000042", 42},
    {"2147483647", 2147483647}, {"2147483648", std::nullopt}, {"-2147483648", INT32_MIN},
    {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt},
    // Hexadecimal: no sign, one to eight digits, taken as the 32-bit pattern.
    {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"$7fffffff", INT32_MAX}, {"0XaB", 171},
    {"x0", 0}, {"$00000001", 1}, {"$100000000", std::nullopt}, {"$", std::nullopt},
    {"0x", std::nullopt}, {"X", std::nullopt}, {"-$1", std::nullopt}, {"+0x1", std::nullopt},
    {"$1G", std::nullopt}, {"$ 1", std::nullopt}, {" $A", 10}, {"00x1", std::nullopt},
    {"#10", std::nullopt}, {"0b1", std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, IntegerConversion, testing::ValuesIn(kRows));

TEST(IntegerConversion, ErrorMessageQuotesTheTextAsGiven) {
  const std::string text = std::string(" 1\xFD") + "\t";  // CP1254 bytes kept as they are
  try {
    platform::StrToInt(text);
    FAIL() << "no error";
  } catch (const platform::ConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
  }
  EXPECT_STREQ(platform::ConvertError("").what(), "'' is not a valid integer value");
}

TEST(IntegerConversion, TextWithEmbeddedNulFails) {
  EXPECT_EQ(platform::TryStrToInt(std::string("12\0", 3)), std::nullopt);
}

}  // namespace
