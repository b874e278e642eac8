#pragma once
// Every conversion between the library's UTF-16 text and other encodings.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// UTF-16 <-> UTF-8. Unpaired surrogates and malformed bytes become U+FFFD.
std::string ToUtf8(std::u16string_view Text);
// ToUtf8 onto the end of Out: a text made of several pieces needs one buffer.
void AppendAsUtf8(std::string& Out, std::u16string_view Text);
std::u16string FromUtf8(std::string_view Text);

// UTF-16 <-> the system's ANSI code page, one byte per character: on Windows
// the code page the system is set to, elsewhere code page 1251, the one the
// terminals' Cyrillic texts use. A character the code page lacks becomes its
// default character ('?').
std::string ToAnsi(std::u16string_view Text);
std::u16string FromAnsi(std::string_view Bytes);

// Bytes in a code page named explicitly: 65001 (UTF-8), 1251 (Windows
// Cyrillic) or 866 (DOS Cyrillic), the ones a log file may be read with.
// Raises an Exception for any other code page.
std::u16string FromCodePage(std::string_view Bytes, uint32_t CodePage);
inline constexpr uint32_t kCodePageUtf8 = 65001;
inline constexpr uint32_t kCodePageCyrillicAnsi = 1251;
inline constexpr uint32_t kCodePageCyrillicOem = 866;

// Text whose byte-order mark names its encoding: UTF-8 (EF BB BF), UTF-16 LE
// (FF FE) or UTF-16 BE (FE FF), as UTF-8 without the mark; UTF-8 when it has
// none, passed on as it is (whoever reads it next replaces what is not UTF-8).
// Raises an Exception for UTF-16 of an odd number of bytes.
std::string Utf8OfBomText(std::string_view Bytes);

// The code point at Text[I], with I moved past it: a surrogate pair is one
// code point; an unpaired surrogate is U+FFFD and moves I by one unit.
char32_t NextCodePointUtf16(std::u16string_view Text, std::size_t& I) noexcept;

// A position in Text counted in UTF-16 code units (this library's count) and
// the same position counted in characters, as toolkits count them (an unpaired
// surrogate is one character). Both clamp to the end of the text; a unit
// position inside a surrogate pair counts as the position before the pair.
std::size_t Utf16UnitsToCharacters(std::u16string_view Text, std::size_t Units) noexcept;
std::size_t CharactersToUtf16Units(std::u16string_view Text, std::size_t Characters) noexcept;

// Text that is known to be ASCII (numbers, fixed words).
std::u16string AsciiToU16(std::string_view Ascii);

// UTF-16 <-> the platform's wide string (wchar_t is 16 bits on Windows, 32 elsewhere).
std::wstring ToWide(std::u16string_view Text);
std::u16string FromWide(std::wstring_view Text);

// Fills each "%s" of Format, in order, with the next argument; "%%" is a percent sign.
std::u16string FormatText(std::u16string_view Format, std::initializer_list<std::u16string_view> Args);

std::u16string IntToText(int64_t Value);

// Leading and trailing code units of 32 or less removed.
std::u16string_view TrimControl(std::u16string_view Text) noexcept;

// Signed decimal integers and floating-point numbers with a full stop as the
// decimal separator; surrounding blanks are allowed. False when the text is not
// such a number (or does not fit).
bool TryParseInt32(std::u16string_view Text, int32_t& Value) noexcept;
bool TryParseDouble(std::u16string_view Text, double& Value) noexcept;

// General format with 15 significant digits and a full stop: fixed-point without
// trailing zeros below 1e15 and from 1e-5 on, otherwise "1.5E20"; NAN, INF, -INF.
std::u16string FloatToText(double Value);
