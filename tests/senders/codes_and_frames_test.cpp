#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "senders/byte_codes.h"
#include "senders/omron_frame.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteCodes, EachGroupOfThreeIsANumberWhoseLowEightBitsAreSent) {
  const struct {
    std::string text;
    Bytes bytes;
  } rows[] = {
      {"033006005032", {33, 6, 5, 32}},
      {"0330", {33}},  // the left-over "0" is not sent
      {"65", {}},
      {"", {}},
      {"256300", {0, 44}},
      {"999", {231}},
      {"-01", {255}},
      {"+65", {65}},
      {"$1F", {31}},
      {"x41", {65}},
      {"0x7", {7}},
      {" 65", {65}},
      {"65 ", {0}},  // nothing may follow the digits
      {"abc033", {0, 33}},
      {"-  ", {0}},
      {"\t65", {0}},  // only blanks lead
      {"0A1065", {0, 65}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ByteCodesToBytes(row.text), row.bytes) << '"' << row.text << '"';
  }
}

TEST(OmronFrame, WrapsTheTextInDleStxDleEtxAndTheXorOfTextAndEtx) {
  const struct {
    std::string command;
    Bytes frame;
  } rows[] = {
      {"C00", {0x10, 0x02, 0x43, 0x30, 0x30, 0x10, 0x03, 0x40}},
      {"C20", {0x10, 0x02, 0x43, 0x32, 0x30, 0x10, 0x03, 0x42}},
      {"C30", {0x10, 0x02, 0x43, 0x33, 0x30, 0x10, 0x03, 0x43}},
      {"C40", {0x10, 0x02, 0x43, 0x34, 0x30, 0x10, 0x03, 0x44}},
      {"C61", {0x10, 0x02, 0x43, 0x36, 0x31, 0x10, 0x03, 0x47}},
      {"C62", {0x10, 0x02, 0x43, 0x36, 0x32, 0x10, 0x03, 0x44}},
      {"", {0x10, 0x02, 0x10, 0x03, 0x03}},
      // A DLE in the text goes out once and enters the check like any text byte.
      {std::string{'\x10', 'A'}, {0x10, 0x02, 0x10, 0x41, 0x10, 0x03, 0x52}},
      {Cp("ğ"), {0x10, 0x02, 0xF0, 0x10, 0x03, 0xF3}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    EXPECT_EQ(OmronFrame(row.command, false), row.frame);
    Bytes withEnq = row.frame;
    withEnq.insert(withEnq.end(), {0x10, 0x05});
    EXPECT_EQ(OmronFrame(row.command, true), withEnq);
  }
}

}  // namespace
