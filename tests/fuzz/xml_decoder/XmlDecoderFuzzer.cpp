// libFuzzer target: the message decoder on arbitrary text. Whatever decodes
// must serialize again and decode to an equal message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Messages/XMLDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CWzError error;
    std::unique_ptr<CNMessageBase> message = XMLDecoder::decode(text, &error);
    if (!message) return 0;
    std::string again;
    int rc = message->serialize(again);
    if (rc == kMsgTooLarge) return 0;   // base64 text can outgrow the limit the input met
    if (rc != kMsgOk) std::abort();
    std::unique_ptr<CNMessageBase> second = XMLDecoder::decode(again, &error);
    if (!second || !(*second == *message)) std::abort();
    return 0;
}
