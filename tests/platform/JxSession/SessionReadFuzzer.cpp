// Fuzzes how a session reads frames off a stream: the bytes arrive in chunks
// of a size the input chooses, so headers and payloads are split and run
// together in every way, and the session takes frames until the stream ends
// or it refuses one.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "JxSession/CJxNetwork.h"
#include "tests/platform/JxSession/EchoRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (RegisterEchoRecord(), true);
    (void)registered;
    if (size < 1) return 0;
    const size_t chunk = data[0] % 64 + 1;
    const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    std::thread writer([&] {
        for (size_t at = 0; at < stream.size(); at += chunk) {
            size_t length = std::min(chunk, stream.size() - at);
            if (::send(fds[1], stream.data() + at, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length)) break;
        }
        ::shutdown(fds[1], SHUT_WR);
    });
    {
        CJxNetwork session(fds[0]);
        bool flag = false;
        for (int i = 0; i < 1000 && session.IsConnected(); ++i) {
            jxsDataFormat format = JXS_DATA_FORMAT_NONE;
            if (session.PeekDataFormat(format, 60, flag).IsError()) break;
            if (format == JXS_DATA_FORMAT_XML) {
                std::string xml;
                if (session.ReceiveXMLMessage(nullptr, xml, nullptr, 0, 60, flag).IsError()) break;
                continue;
            }
            EchoRecord_t record;
            jxsDatabuf_v2 buffer;
            buffer.setExternalBuffer(&record, sizeof record);
            unsigned long code = 0;
            if (session.ReceiveXDRMessage(&code, &buffer, nullptr, 0, 60, flag).IsError()) break;
            if (CJxNetwork::FreeReceivedMessage(code, &buffer).IsError()) std::abort();
        }
        // The writer may still be blocked on a session that stopped reading.
        ::shutdown(fds[1], SHUT_RDWR);
        writer.join();
    }
    ::close(fds[1]);
    return 0;
}
