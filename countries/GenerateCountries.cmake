# Writes the C++ header of the country table from data/countries.tsv.
# Usage: cmake -DINPUT=countries.tsv -DOUTPUT=Countries.h -P GenerateCountries.cmake
# Fails, writing nothing, unless the file holds 236 rows of NAME<TAB>CODE<TAB>ISO whose
# codes are 1..236 each once, whose names are printable ASCII without quotes or
# backslashes, and whose ISO codes are two capital letters each, each once in the file.
cmake_minimum_required(VERSION 3.25)

set(expected_rows 236)
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(entries "")
set(codes "")
set(isos "")
set(row 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "^([ -~]+)\t([1-9][0-9]*)\t([A-Z][A-Z](,[A-Z][A-Z])*)$")
        message(FATAL_ERROR "${INPUT}: not NAME<TAB>CODE<TAB>ISO: \"${line}\"")
    endif()
    set(name "${CMAKE_MATCH_1}")
    set(code "${CMAKE_MATCH_2}")
    set(iso "${CMAKE_MATCH_3}")
    if(name MATCHES "[\"\\\\\t]")
        message(FATAL_ERROR "${INPUT}: name holds a quote, backslash or tab: \"${name}\"")
    endif()
    if(code GREATER expected_rows)
        message(FATAL_ERROR "${INPUT}: code ${code} of \"${name}\" is not 1..${expected_rows}")
    endif()
    if(code IN_LIST codes)
        message(FATAL_ERROR "${INPUT}: code ${code} given twice")
    endif()
    list(APPEND codes "${code}")
    string(REPLACE "," ";" iso_list "${iso}")
    foreach(one IN LISTS iso_list)
        if(one IN_LIST isos)
            message(FATAL_ERROR "${INPUT}: ISO code ${one} given twice")
        endif()
        list(APPEND isos "${one}")
    endforeach()
    string(APPEND entries "    {\"${name}\", ${code}, \"${iso}\"},\n")
    math(EXPR row "${row} + 1")
endforeach()
if(NOT row EQUAL expected_rows)
    message(FATAL_ERROR "${INPUT}: ${row} countries, not ${expected_rows}")
endif()

file(WRITE "${OUTPUT}.tmp" "\
// Generated from data/countries.tsv by countries/GenerateCountries.cmake; do not edit.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace horalux::countries {

// One country of the client's list.
struct Country {
    // Name as the list shows it.
    std::string_view name;
    // The land= value the service expects for it, kFirstCode..kLastCode.
    std::int32_t code;
    // ISO 3166-1 alpha-2 codes whose places it lists, comma-separated.
    std::string_view iso;
};

// Lowest and highest code; every code between them belongs to exactly one country.
inline constexpr std::int32_t kFirstCode = 1;
inline constexpr std::int32_t kLastCode = ${expected_rows};

// The countries in the list's order.
inline constexpr std::array<Country, ${expected_rows}> kCountries{{
${entries}}};

}  // namespace horalux::countries
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
