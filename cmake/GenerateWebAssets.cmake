cmake_minimum_required(VERSION 3.25)
# Writes OUT, the chart page's generated header: the template TEMPLATE cut at its {{slot}}s, the
# style sheet STYLE, and the script modules SCRIPTS joined in their order. A slot is a name of
# letters and digits starting with a lower-case letter; anything else between braces, or a brace
# pair left open, stops the build here rather than reaching the page as text.

# A C++ string_view of the bytes of `text`, escaped so no byte of the page is taken as C++.
function(literal text out)
  string(LENGTH "${text}" len)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  set(${out} "std::string_view{\"${escaped}\", ${len}}" PARENT_SCOPE)
endfunction()

get_filename_component(template_name ${TEMPLATE} NAME)
file(READ ${TEMPLATE} rest)
set(slots "")
set(pieces "")
set(fixed 0)
while(TRUE)
  string(FIND "${rest}" "{{" open)
  if(open EQUAL -1)
    break()
  endif()
  string(SUBSTRING "${rest}" 0 ${open} text)
  math(EXPR after "${open} + 2")
  string(SUBSTRING "${rest}" ${after} -1 rest)
  string(FIND "${rest}" "}}" close)
  if(close EQUAL -1)
    message(FATAL_ERROR "${template_name}: a slot opened with {{ is never closed")
  endif()
  string(SUBSTRING "${rest}" 0 ${close} name)
  if(NOT name MATCHES "^[a-z][A-Za-z0-9]*$")
    message(FATAL_ERROR "${template_name}: {{${name}}} is not a slot name (letters and digits, "
                        "starting with a lower-case letter)")
  endif()
  if(text MATCHES "}}")
    message(FATAL_ERROR "${template_name}: }} without its {{ before {{${name}}}")
  endif()
  math(EXPR after "${close} + 2")
  string(SUBSTRING "${rest}" ${after} -1 rest)
  if(NOT name IN_LIST slots)
    list(APPEND slots ${name})
  endif()
  string(LENGTH "${text}" len)
  math(EXPR fixed "${fixed} + ${len}")
  literal("${text}" lit)
  string(APPEND pieces "    {${lit}, Slot::${name}},\n")
endwhile()
if(rest MATCHES "}}")
  message(FATAL_ERROR "${template_name}: }} without its {{ after the last slot")
endif()
string(LENGTH "${rest}" len)
math(EXPR fixed "${fixed} + ${len}")
literal("${rest}" ending)

file(READ ${STYLE} style)
string(LENGTH "${style}" len)
math(EXPR fixed "${fixed} + ${len}")
literal("${style}" style)

set(script "")
foreach(f IN LISTS SCRIPTS)
  file(READ ${f} module)
  get_filename_component(module_name ${f} NAME)
  # Without its last line break a module's final comment would swallow the next one's first line.
  if(NOT module MATCHES "\n$")
    message(FATAL_ERROR "${module_name} does not end with a line break")
  endif()
  string(APPEND script "${module}")
endforeach()
string(LENGTH "${script}" len)
math(EXPR fixed "${fixed} + ${len}")
literal("${script}" script)

list(JOIN slots ", " enumerators)
set(body "// Generated from web/ at build time; do not edit.
#pragma once

#include <cstddef>
#include <string_view>

namespace sapwell::web::chart {

// The slots of ${template_name}, in the order they first appear.
enum class Slot { ${enumerators} };

// The template up to a slot, and that slot; `ending` follows the last slot.
struct Piece {
    std::string_view text;
    Slot slot;
};

inline constexpr Piece pieces[] = {
${pieces}};
inline constexpr std::string_view ending = ${ending};
inline constexpr std::string_view style = ${style};
inline constexpr std::string_view script = ${script};

// Every byte a page takes from web/: the template's own text, the style sheet and the script.
inline constexpr std::size_t fixedBytes = ${fixed};

}  // namespace sapwell::web::chart
")
file(WRITE ${OUT}.tmp "${body}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
