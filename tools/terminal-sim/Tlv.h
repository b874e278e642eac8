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

// The same elements with every length in the long form (81 nn, 82 nn nn),
// inside the constructed tags EE, DE and F6 too; malformed text unchanged.
std::u16string WithLongLengths(std::u16string_view Hex);
// The payment system of the interbank key (DE/D2) as Cyrillic text in code
// page 1251: MIR as "МИР", SBP as "СБП"; anything else unchanged.
std::u16string WithCp1251Texts(std::u16string_view Hex);

// ASCII text as octets and back (what the terminal puts into tags).
Bytes AsciiBytes(std::u16string_view Text);
std::u16string BytesToText(const Bytes& Data);

}  // namespace terminal_sim
