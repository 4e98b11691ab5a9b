// The digest that names a track's kept files by its content.
#pragma once

#include <string>

// SHA-256 of the bytes, as 64 lowercase hexadecimal digits; the empty string has its digest too.
std::string sha256Hex(const std::string& bytes);
