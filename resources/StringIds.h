#pragma once
// Identifiers of the library's string-table texts; the texts themselves are in
// resources/strings.txt, compiled into the STRINGTABLE on Windows and into the
// generated table elsewhere.
#include <cstdint>

namespace resources {
inline constexpr uint32_t kDriverNameId = 101;
inline constexpr uint32_t kDriverDescriptionId = 102;
inline constexpr uint32_t kParametersCaptionId = 103;   // "Параметры"
inline constexpr uint32_t kHelpCaptionId = 104;         // "Справка"
inline constexpr uint32_t kMethodNotSupportedId = 105;  // "Метод "%s" не поддерживается"
}  // namespace resources
