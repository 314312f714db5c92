#pragma once

#include <string>

// Standard base64 (A-Z a-z 0-9 + /, '=' padding, no line breaks).
std::string Base64Encode(const std::string& bytes);
// Decodes groups of four characters; '=' and characters outside the alphabet count as 0.
// A text whose length is not a multiple of 4 decodes to nothing. The result ends before
// the first zero byte.
std::string Base64Decode(const std::string& text);
