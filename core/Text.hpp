#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sapwell::text {

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);
// The bytes decoded as UTF-8 with every invalid sequence replaced by U+FFFD.
std::string repairUtf8(std::string_view bytes);
// Canonical composition (NFC). Invalid input is repaired first.
std::string nfc(std::string_view utf8);
// Compares two names by the Unicode scalar values of their NFC forms (<0, 0, >0).
int compareNames(std::string_view a, std::string_view b);
// Decodes the scalar at `pos` and moves past it; an invalid sequence gives U+FFFD and
// consumes one byte.
char32_t nextScalar(std::string_view utf8, std::size_t& pos);
// Appends one scalar as UTF-8.
void appendScalar(std::string& out, char32_t scalar);
// Number of extended grapheme clusters (user-perceived characters).
std::size_t graphemeCount(std::string_view utf8);
// The first `count` grapheme clusters.
std::string graphemePrefix(std::string_view utf8, std::size_t count);
// The text cut between whole grapheme clusters to measure at most `room`, each cluster measured
// by `measure` (1 for a count of clusters, its columns for a terminal); a cut text ends in "…",
// which measures 1. Empty for no room.
std::string cutWithEllipsis(std::string_view utf8, std::size_t room,
                            std::size_t (*measure)(std::string_view cluster));
// The sum of `measure` over the text's grapheme clusters.
std::size_t measureClusters(std::string_view utf8, std::size_t (*measure)(std::string_view cluster));
// C0 and C1 control characters and DEL.
bool isControl(char32_t scalar);
// The characters that set the direction of the text around them: embeddings, overrides,
// isolates, and the left-to-right, right-to-left and Arabic letter marks.
bool isBidiControl(char32_t scalar);
// True for the isolates: LRI, RLI, FSI and PDI.
bool isIsolate(char32_t scalar);
// The bytes as well-formed UTF-8 with each control character replaced by `with`; invalid
// sequences become U+FFFD.
std::string replaceControls(std::string_view bytes, char with);
// The text between FIRST STRONG ISOLATE and POP DIRECTIONAL ISOLATE, so neither its direction nor
// its own bidi controls can reorder the text around it. Isolates it leaves open are closed and
// a PDI that closes none of its own is dropped, as either would undo the wrapping.
std::string isolate(std::string_view utf8);

}  // namespace sapwell::text
