#pragma once
// The few BER-TLV pieces the terminal writes into and reads from AdditionalData:
// one-byte tags, definite lengths, upper-case hex text on the wire.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace terminal_sim {

using Bytes = std::string;  // raw octets

Bytes TlvElement(uint8_t Tag, const Bytes& Value);
// Nested elements, outermost tag first, around Value.
Bytes TlvPath(std::initializer_list<uint8_t> Tags, const Bytes& Value);
std::u16string ToHex(const Bytes& Data);
// Stops at the first pair that is not two hex digits.
Bytes FromHex(std::u16string_view Hex);

// The value under the tag path in hex text, empty when it is not there or the
// text is malformed.
Bytes FindTlv(std::u16string_view Hex, std::initializer_list<uint8_t> Tags);

// ASCII text as octets and back (what the terminal puts into tags).
Bytes AsciiBytes(std::u16string_view Text);
std::u16string BytesToText(const Bytes& Data);

}  // namespace terminal_sim
