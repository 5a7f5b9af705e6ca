// The simple lower-case mapping of Unicode letters outside ASCII, shared by
// the narrow and wide lower-casing of SqlConvert.
#pragma once

// The lower-case form of `codePoint`, or `codePoint` itself when it has none
// (ASCII is not handled here).
char32_t SqlLowerCaseOf(char32_t codePoint);
