#pragma once

#include <string>
#include <string_view>

namespace horalux {

// The text functions applied to the service's reply. Every text is a byte string, one byte
// per ISO-8859-1 character; positions and lengths count bytes. None of them throws or
// reports an error: a missing marker gives the empty result described below.

// Longest identifier taken from a reply: eight times the longest the service hands out (32),
// so that a reply cannot have megabytes kept and sent back with every request.
inline constexpr std::size_t kMaxServiceIdLength = 256;

// The identifier carried by the first link back at the service: the characters after the
// first '<A HREF="/cgi-bin/wt.cgi?ID=' (searched ignoring ASCII letter case) up to the next
// '&'. Empty when the reply holds no such link, when the link is directly followed by '&',
// when no '&' follows it at all, and when the identifier would be longer than
// kMaxServiceIdLength.
std::string ExtractServiceId(std::string_view reply);

// The result table: from just after the first heading line
// "<H3>Time information for selected cities and towns</H3>" ended by one line feed (CR LF
// does not match; letter case significant) through the first "</TABLE>" after it,
// inclusive. Empty when the heading, or a table end after it, is missing.
std::string CutResultTable(std::string_view reply);

// The table text as an XML document text: the declaration line '<?xml version="1.0"?>'
// with CR LF, then the table with two kinds of unquoted attribute values quoted, a value
// that is exactly Top (VALIGN=Top) and the value 4 of CELLPADDING=4. Only values that
// stand unquoted inside a start tag are changed; text between tags, comments, CDATA
// sections and quoted values are copied unchanged.
std::string ToResultXml(std::string_view table);

// Longest tzdata release taken from a reply, in bytes.
inline constexpr std::size_t kMaxTzdataRelease = 64;

// The tzdata release the page names after its table: the text between the first
// "<P>Time zone data: tzdata " and the next "</P>" (letter case significant), with the
// references &lt; &gt; &amp; &quot; read as their characters. Empty when either marker is
// missing or the text is longer than kMaxTzdataRelease.
std::string TzdataRelease(std::string_view reply);

}  // namespace horalux
