// SqlConvert: lower-casing of database, file and instance names, so that names
// compare without regard to case (marker and restore collect file names,
// dump file look-ups).
//
// Neither form depends on a named locale: both use the same code-point
// mapping (ASCII plus the table of SqlLowerCaseTable), so a name lower-cased
// as narrow text and as wide text gives the same letters.
#pragma once

#include <string>

class SqlConvert {
public:
    // Lower-cases wide text in place.
    static void ToLowerCase(std::wstring& text);

    // A lower-cased copy of UTF-8 text; the copy has the same byte length.
    static std::string ToLower(const std::string& text);

    // Lower-cases the NUL-terminated UTF-8 text in place and returns it; a null
    // pointer or an empty text is returned untouched.
    //
    // ASCII capitals and the letters of two-byte sequences led by 0xC3-0xC8
    // (Latin-1 Supplement, Latin Extended-A/B) or 0xCD-0xD5 (Greek, Cyrillic,
    // Armenian), three-byte sequences led by 0xE1 (Georgian, Latin Extended
    // Additional, Greek Extended...) and four-byte sequences F0 90 92 / F0 90 93
    // (Osage) become their lower-case letter when that letter has the same
    // encoded length. Everything else, invalid sequences included, is left as
    // it is; the text never changes length.
    static unsigned char* StrToLwrExt(unsigned char* text);

private:
    static void LowerUtf8(std::string& text);
};
