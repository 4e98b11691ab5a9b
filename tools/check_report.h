// The checker's findings as text for a person and as JSON for editors and scripts; both say the
// same things with the same numbers.
#pragma once

#include <string>
#include <vector>

#include "tools/track_check.h"

// A number as the reports print it: at most two decimals (or as many as asked), no trailing
// zeros, "-0" as "0".
std::string formatNumber(double value, int decimals = 2);
// The number a report shows, read back: what a reader of the report takes it for.
double shownNumber(double value);

// Bytes from a file made safe to print: anything unprintable as \xHH, and when quoted, quotes
// and backslashes escaped too. The one way the reports, messages and maps show such bytes.
std::string printable(const std::string& bytes, bool quoted);
// The same within quotes, cut after `longest` bytes with "..." to show it goes on.
std::string quoted(const std::string& bytes, size_t longest = std::string::npos);

std::string checkText(const TTrackCheck& check);
std::string checksJson(const std::vector<TTrackCheck>& checks);
