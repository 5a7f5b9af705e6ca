// Process-wide map from message code to record codec.
#include "JxSession/jxsCodecRegistry.h"

#include <map>
#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint64_t, jxsRecordCodec> codecs;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void jxsRegisterRecordCodec(uint64_t code, const jxsRecordCodec& codec) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.codecs[code] = codec;
}

bool jxsFindRecordCodec(uint64_t code, jxsRecordCodec& codec) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.codecs.find(code);
    if (it == r.codecs.end()) return false;
    codec = it->second;
    return true;
}
