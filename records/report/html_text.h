#pragma once
// Text put into the report's HTML and SVG: every character that could end
// an element, an attribute or an entity is escaped, so a record's text (a
// station name, a box's version, a reason) shows as it is and never as markup.

#include <string>
#include <string_view>

std::string HtmlEscape(std::string_view text);

// printf-style number to text ("%.1f"), for the few figures the report shows.
std::string FormatNumber(const char* format, double value);
