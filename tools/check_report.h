// The checker's findings as text for a person and as JSON for editors and scripts; both say the
// same things with the same numbers.
#pragma once

#include <string>
#include <vector>

#include "tools/track_check.h"

// A number as the reports print it: at most two decimals, no trailing zeros, "-0" as "0".
std::string formatNumber(double value);

std::string checkText(const TTrackCheck& check);
std::string checksJson(const std::vector<TTrackCheck>& checks);
