// Fuzz target: decoding stored passwords never writes past the buffer and
// whatever it accepts re-encodes to the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "JxLib/JXPassword.h"
#include "WzUtils/FXString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    wchar_t out[17];
    int n = JXPassword::decrypt(text, out, 16);
    if (n > 0) {
        std::string clear = FXString::ToString(std::wstring(out, static_cast<size_t>(n)));
        std::string again = JXPassword::encrypt(clear);
        std::string lowered = text;
        for (char& c : lowered) {
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        }
        if (again != lowered) __builtin_trap();
    }
    return 0;
}
