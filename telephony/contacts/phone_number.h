#pragma once
// When two phone numbers name the same line.
//
// Each number is reduced to its dialled characters: digits, "*" and "#". Spaces, dashes, dots,
// slashes, brackets and letters are ignored; a "tel:" prefix and anything from ";" or "," on
// (URI parameters, dial pauses) are dropped; the "(0)" of "+44 (0)20 ..." is dropped too. A number
// that begins with "+" or "00" is international; a national number loses one leading trunk "0".
//
// Two numbers match when
//   - both are international and their digits are equal, or
//   - otherwise, their digits are equal, or the longer ends with the shorter and the shorter has at
//     least 7 digits ("+44 20 7946 0958" matches "020 7946 0958" and "(020) 7946-0958";
//     "+45 12345678" matches "12345678"; short codes such as "112" match only themselves).
// An empty number matches nothing.
//
// Among several matching numbers the closest wins: phone_match_strength ranks an exact match of
// the reduced numbers (same digits, both international or both national) above every ending
// match, and a longer common ending above a shorter one.
#include <string>
#include <string_view>

struct DialledNumber {
    std::string digits;
    bool international = false;
};

DialledNumber dialled_number(std::u16string_view number);
bool phone_numbers_match(std::u16string_view a, std::u16string_view b);
// 0 when the numbers do not match; otherwise larger for a closer match (see above).
int phone_match_strength(std::u16string_view a, std::u16string_view b);
