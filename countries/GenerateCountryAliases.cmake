# Writes the C++ header of the countries' other names from data/country-aliases.tsv.
# Usage: cmake -DINPUT=country-aliases.tsv -DOUTPUT=CountryAliases.h -P GenerateCountryAliases.cmake
# Fails, writing nothing, unless every row is ISO<TAB>KIND<TAB>NAME with a two-capital-letter
# code, a kind of alpha-2, alpha-3 or name, and a name without tabs, quotes or backslashes
# (a semicolon would split the row).
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(entries "")
set(count 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "^([A-Z][A-Z])\t(alpha-2|alpha-3|name)\t([^\t\"\\\\]+)$")
        message(FATAL_ERROR "${INPUT}: not ISO<TAB>KIND<TAB>NAME: \"${line}\"")
    endif()
    set(kind Name)
    if(CMAKE_MATCH_2 STREQUAL "alpha-2")
        set(kind Alpha2)
    elseif(CMAKE_MATCH_2 STREQUAL "alpha-3")
        set(kind Alpha3)
    endif()
    string(APPEND entries "    {\"${CMAKE_MATCH_1}\", AliasKind::${kind}, \"${CMAKE_MATCH_3}\"},\n")
    math(EXPR count "${count} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp" "\
// Generated from data/country-aliases.tsv by countries/GenerateCountryAliases.cmake; do not
// edit.
#pragma once

#include <array>
#include <string_view>

namespace horalux::countries {

enum class AliasKind { Alpha2, Alpha3, Name };

// Another name of a country of kCountries, by one of the ISO codes it lists.
struct Alias {
    // ISO 3166-1 alpha-2 code.
    std::string_view iso;
    AliasKind kind;
    // The code or the name, UTF-8.
    std::string_view name;
};

inline constexpr std::array<Alias, ${count}> kAliases{{
${entries}}};

}  // namespace horalux::countries
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
