#include <gtest/gtest.h>

#include "device/uBerTlv.h"
#include "platform/Text.h"

namespace {

TBytes Repeat(uint8_t Byte, std::size_t Count) { return TBytes(Count, Byte); }

TBytes Concat(std::initializer_list<TBytes> Parts) {
  TBytes Out;
  for (const auto& Part : Parts) Out.insert(Out.end(), Part.begin(), Part.end());
  return Out;
}

const TBytes kKeyData = {0xDE, 0x0A, 0xD1, 0x02, 0x41, 0x42, 0xD3, 0x04, 0x00, 0x00, 0x00, 0x01};

}  // namespace

TEST(BerTlvMake, NestsTheValueOuterTagFirst) {
  const struct {
    TBytes Tags;
    std::u16string Value;
    std::u16string Hex;
  } Cases[] = {
      {{0xF6, 0xD1}, u"AB", u"F604D1024142"},
      {{0xF6, 0xD3}, u"15", u"F604D3023135"},
      {{0xF6, 0xD1}, u"", u"F602D100"},
      {{}, u"AB", u"4142"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(TBerTlv::MakeDataAsString(Case.Tags, Case.Value), Case.Hex) << ToUtf8(Case.Hex);
  }
}

TEST(BerTlvMake, LongLengthsUseTheFewestLengthBytes) {
  const struct {
    std::size_t ValueSize;
    TBytes InnerHeader;
    TBytes OuterHeader;
  } Cases[] = {
      {127, {0xD1, 0x7F}, {0xF6, 0x81, 0x81}},
      {200, {0xD1, 0x81, 0xC8}, {0xF6, 0x81, 0xCB}},
      {300, {0xD1, 0x82, 0x01, 0x2C}, {0xF6, 0x82, 0x01, 0x30}},
      {70000, {0xD1, 0x83, 0x01, 0x11, 0x70}, {0xF6, 0x83, 0x01, 0x11, 0x75}},
  };
  for (const auto& Case : Cases) {
    const TBytes Value = Repeat(0x5A, Case.ValueSize);
    EXPECT_EQ(TBerTlv::MakeData({0xF6, 0xD1}, Value), Concat({Case.OuterHeader, Case.InnerHeader, Value}))
        << Case.ValueSize;
  }
}

TEST(BerTlvRead, FindsTheFirstMatchAlongThePath) {
  const struct {
    const char* Name;
    TBytes Tags;
    TBytes Data;
    TBytes Expected;
  } Cases[] = {
      {"nested", {0xDE, 0xD3}, kKeyData, {0x00, 0x00, 0x00, 0x01}},
      {"missing inner tag", {0xDE, 0xD2}, kKeyData, {}},
      {"outer level only", {0xDE}, kKeyData, TBytes(kKeyData.begin() + 2, kKeyData.end())},
      {"empty path", {}, kKeyData, {}},
      {"empty data", {0xDE}, {}, {}},
      {"level of three bytes is not scanned", {0xD2}, {0xD2, 0x01, 0x05}, {}},
      {"first of two equal tags", {0xD1}, {0xD1, 0x02, 0x01, 0x02, 0xD1, 0x02, 0x03, 0x04}, {0x01, 0x02}},
      {"last element of three bytes is skipped", {0xD2}, {0xD1, 0x02, 0x01, 0x02, 0xD2, 0x01, 0x05}, {}},
      {"empty value", {0xD1, 0xD2}, {0xD1, 0x00, 0xD2, 0x02, 0x01, 0x02}, {}},
      {"value cut at the end", {0xD1}, {0xD1, 0x05, 0x01, 0x02}, {0x01, 0x02}},
      {"skipping beyond the end", {0xD2}, {0xD1, 0x7F, 0x01, 0x02, 0xD2, 0x01, 0x05, 0x06}, {}},
      {"long form", {0xD1}, Concat({{0xD1, 0x81, 0x80}, Repeat(7, 128)}), Repeat(7, 128)},
      {"long form of zero length bytes", {0xD2}, {0xD1, 0x80, 0xD2, 0x02, 0x01, 0x02}, {0x01, 0x02}},
  };
  for (const auto& Case : Cases) EXPECT_EQ(TBerTlv::GetTagData(Case.Tags, Case.Data), Case.Expected) << Case.Name;
}

// Lengths the reader cannot take must end the scan without reading past the
// data or stepping backwards (a negative length would land before the element).
TEST(BerTlvRead, UnreadableLengthsEndTheLevel) {
  const struct {
    const char* Name;
    TBytes Data;
  } Cases[] = {
      {"five length bytes", {0xD1, 0x85, 0x00, 0x00, 0x00, 0x00, 0x02, 0x41, 0x42, 0xD2, 0x01, 0x05}},
      {"length above the largest signed 32-bit", {0xD1, 0x84, 0x80, 0x00, 0x00, 0x00, 0xD2, 0x02, 0x41, 0x42}},
      {"all ones", {0xD1, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0xD2, 0x02, 0x41, 0x42}},
      {"length bytes past the end", {0xD1, 0x84, 0x00, 0x00}},
      {"length byte FF", {0xD1, 0xFF, 0xD2, 0x02, 0x41, 0x42}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(TBerTlv::GetTagData({0xD2}, Case.Data), TBytes()) << Case.Name;
    EXPECT_EQ(TBerTlv::GetTagData({0xD1, 0xD2}, Case.Data), TBytes()) << Case.Name;
  }
  const TBytes Largest = {0xD1, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x41, 0x42};
  EXPECT_EQ(TBerTlv::GetTagData({0xD1}, Largest), (TBytes{0x41, 0x42})) << "the largest length is still read";
}

TEST(BerTlvRead, HexText) {
  const struct {
    const char* Name;
    std::u16string Hex;
    TBytes Expected;
  } Cases[] = {
      {"upper case", u"DE0AD1024142D30400000001", {0x00, 0x00, 0x00, 0x01}},
      {"lower case", u"de0ad1024142d30400000001", {0x00, 0x00, 0x00, 0x01}},
      {"odd last digit ignored", u"DE0AD1024142D304000000017", {0x00, 0x00, 0x00, 0x01}},
      {"non-hex pair zeroes the rest", u"DE0AD1024142D304000000G1", {0x00, 0x00, 0x00, 0x00}},
      {"non-hex in the header", u"DE0AD1024142ZZ0400000001", {}},
      {"empty", u"", {}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(TBerTlv::GetTagData({0xDE, 0xD3}, Case.Hex), Case.Expected) << Case.Name;
  }
}

// Text payloads travel in the ANSI code page, one byte per character.
TEST(BerTlvText, UsesTheAnsiCodePage) {
  const std::u16string Text = u"Оплата QR №5";
  const std::string Ansi = ToAnsi(Text);
  const std::u16string Hex = TBerTlv::MakeDataAsString({0xF6, 0xD1}, Text);
  EXPECT_EQ(Hex, u"F60ED10C" + TBerTlv::MakeDataAsString({}, FromAnsi(Ansi)));
  EXPECT_EQ(TBerTlv::GetTagDataAsString({0xF6, 0xD1}, Hex), FromAnsi(Ansi));
  EXPECT_EQ(TBerTlv::GetTagDataAsString({0xF6, 0xD2}, Hex), u"");
}
