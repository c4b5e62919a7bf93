#include "platform/text/cp1254.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {
namespace {

// Unicode of the bytes 0x80 to 0xFF. The undefined bytes (0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D,
// 0x9E) keep the C1 control of the same value.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,  // F8
};

using ReverseTable = std::array<std::pair<char32_t, uint8_t>, 128>;

const ReverseTable& Reverse() {
  static const ReverseTable table = [] {
    ReverseTable t{};
    for (size_t i = 0; i < kHigh.size(); ++i) {
      t[i] = {kHigh[i], static_cast<uint8_t>(0x80 + i)};
    }
    std::sort(t.begin(), t.end());
    return t;
  }();
  return table;
}

constexpr std::array<uint8_t, 256> MakeUpperTable() {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<uint8_t>(b);
  for (int b = 'a'; b <= 'z'; ++b) t[b] = static_cast<uint8_t>(b - 'a' + 'A');
  for (int b = 0xE0; b <= 0xFE; ++b) {
    if (b != 0xF7) t[b] = static_cast<uint8_t>(b - 0x20);  // ğ Ğ, ş Ş, ç Ç, ö Ö, ü Ü...
  }
  t[0xFD] = 'I';   // dotless small i
  t[0x9A] = 0x8A;  // š Š
  t[0x9C] = 0x8C;  // œ Œ
  t[0xFF] = 0x9F;  // ÿ Ÿ
  return t;
}

constexpr std::array<uint8_t, 256> kUpper = MakeUpperTable();

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t Cp1254ToUnicode(uint8_t byte) {
  if (byte < 0x80) return byte;
  return kHigh[byte - 0x80];
}

uint8_t UnicodeToCp1254(char32_t cp) {
  if (cp < 0x80) return static_cast<uint8_t>(cp);
  const ReverseTable& table = Reverse();
  const auto it = std::lower_bound(table.begin(), table.end(), std::make_pair(cp, uint8_t{0}));
  if (it != table.end() && it->first == cp) return it->second;
  return '?';
}

std::string Cp1254ToUtf8(std::string_view cp1254) {
  std::string out;
  out.reserve(cp1254.size() * 2);
  for (char c : cp1254) AppendUtf8(out, Cp1254ToUnicode(static_cast<uint8_t>(c)));
  return out;
}

// Malformed input becomes one "?" per maximal ill-formed subpart, as Unicode recommends.
std::string Utf8ToCp1254(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    const uint8_t lead = static_cast<uint8_t>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    size_t need = 0;
    char32_t cp = 0;
    uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      out += '?';
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (size_t k = 0; k < need; ++k, ++j) {
      const uint8_t lower = k == 0 ? lo : 0x80;
      const uint8_t upper = k == 0 ? hi : 0xBF;
      if (j >= n) {
        ok = false;
        break;
      }
      const uint8_t b = static_cast<uint8_t>(utf8[j]);
      if (b < lower || b > upper) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (b & 0x3F);
    }
    out += ok ? static_cast<char>(UnicodeToCp1254(cp)) : '?';
    i = j;
  }
  return out;
}

uint8_t UpperCase1254(uint8_t byte) {
  return kUpper[byte];
}

std::string UpperCase1254(std::string_view cp1254) {
  std::string out(cp1254);
  for (char& c : out) c = static_cast<char>(kUpper[static_cast<uint8_t>(c)]);
  return out;
}

}  // namespace platform
