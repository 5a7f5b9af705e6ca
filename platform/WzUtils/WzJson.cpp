// JSON text helpers.
#include "WzUtils/WzJson.h"

#include "WzUtils/WzFormat.h"

namespace wz {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    out += Format("\\u%04x", c);
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace wz
