// bench_session: the cost of a catalogue request through the host, against a
// raw loopback echo of the same bytes, on 1 and 8 sessions; and the record
// codec's encode and decode rate for a 1,000-entry database list. On one
// session the two are sent in turns, so both are measured over the same time,
// with the client on one processor and the servers on another.
//
//   bench_session [--runs N] [--requests N] [--databases N]
//
// The request is the database list of a simulated instance with --databases
// user databases (default 20), served by the real plug-in in an in-process
// host. The echo server answers every request frame with the bytes of the
// plug-in's reply, read and written with plain blocking socket calls. Each
// run sends --requests requests (default 2000) on one session, and as many
// on each of 8 sessions; the figures are the minimum and median of --runs
// runs (default 5).
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/jxsFrame.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"
#include "tools/requester/JxsRequester.h"

namespace {

constexpr const char* kInstance = "BENCHHOST";
constexpr const char* kTarget = "benchclient";

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Options {
    int runs = 5;
    int requests = 2000;
    int databases = 20;
};

int Usage(FILE* out, int code) {
    std::fprintf(out, "usage: bench_session [--runs N] [--requests N] [--databases N]\n");
    return code;
}

bool ReadAll(int fd, void* data, size_t length) {
    auto* p = static_cast<char*>(data);
    while (length > 0) {
        ssize_t n = ::recv(fd, p, length, 0);
        if (n <= 0) return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t length = bytes.size();
    while (length > 0) {
        ssize_t n = ::send(fd, p, length, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

std::string Frame(unsigned long code, const std::string& payload) {
    jxsFrameHeader header;
    header.code = code;
    header.group = jxsMessageGroup(code);
    header.length = static_cast<uint32_t>(payload.size());
    std::string frame(kJxsFrameHeaderBytes, '\0');
    jxsEncodeFrameHeader(header, reinterpret_cast<unsigned char*>(frame.data()));
    return frame + payload;
}

// Reads one frame (header and payload) from a blocking socket.
bool ReadFrame(int fd, std::string& payload) {
    unsigned char bytes[kJxsFrameHeaderBytes];
    jxsFrameHeader header;
    if (!ReadAll(fd, bytes, sizeof bytes) || jxsDecodeFrameHeader(bytes, header).IsError()) return false;
    payload.resize(header.length);
    return ReadAll(fd, payload.data(), payload.size());
}

// A loopback server answering every frame with `reply`, one thread a connection.
class EchoServer {
public:
    explicit EchoServer(std::string reply) : m_reply(std::move(reply)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, SOMAXCONN) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_accept = std::thread([this] {
            for (;;) {
                int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) return;
                m_served.emplace_back([this, fd] {
                    std::string payload;
                    while (ReadFrame(fd, payload) && WriteAll(fd, m_reply)) {
                    }
                    ::close(fd);
                });
            }
        });
    }
    ~EchoServer() {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        if (m_accept.joinable()) m_accept.join();
        for (std::thread& t : m_served) t.join();
    }
    uint16_t port() const { return m_port; }

private:
    std::string m_reply;
    int m_fd = -1;
    uint16_t m_port = 0;
    std::thread m_accept;
    std::vector<std::thread> m_served;
};

// One session of catalogue requests through the host.
class CatalogueClient {
public:
    bool Open() { return m_requester.Attach(kTarget, "sLNSQLClient61", "sLPSQLMSG").IsSuccess(); }
    ~CatalogueClient() { (void)m_requester.Disconnect(); }  // the figures are taken; a late close changes nothing

    bool Run(int count) {
        std::string instance = kInstance;
        SQLDatabaseListReq_t request;
        request.instanceName = instance.data();
        jxsDatabuf_v2 out;
        out.setExternalBuffer(&request, sizeof request);
        for (int i = 0; i < count; ++i) {
            SQLDatabaseListRsp_11_t reply;
            jxsDatabuf_v2 in;
            in.setExternalBuffer(&reply, sizeof reply);
            unsigned long code = 0;
            CWzError e = m_requester.Send(kSqlDatabaseListReq, &out);
            if (e.IsSuccess()) e = m_requester.Receive(code, &in);
            const bool listed = e.IsSuccess() && code == kSqlDatabaseListRsp && reply.count > 0;
            (void)CJxNetwork::FreeReceivedMessage(code, &in);  // only fails on a buffer too small
            if (!listed) {
                std::fprintf(stderr, "bench_session: request failed: %s\n", e.GetMessage().c_str());
                return false;
            }
        }
        return true;
    }

private:
    JxsRequester m_requester;
};

// One connection to the raw echo server, sending the request's bytes.
class EchoClient {
public:
    EchoClient(uint16_t port, const std::string& requestFrame) : m_port(port), m_frame(requestFrame) {}
    ~EchoClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    EchoClient(const EchoClient&) = delete;
    EchoClient& operator=(const EchoClient&) = delete;

    bool Open() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }

    bool Run(int count) {
        std::string payload;
        for (int i = 0; i < count; ++i) {
            if (!WriteAll(m_fd, m_frame) || !ReadFrame(m_fd, payload)) return false;
        }
        return true;
    }

private:
    uint16_t m_port;
    const std::string& m_frame;
    int m_fd = -1;
};

// Runs `requests` requests on each of `sessions` clients at once; each is
// opened first, then all start together. Gives requests a second over all of
// them, or 0 on a failure.
template <typename Client, typename... Args>
double RequestsPerSecond(int sessions, int requests, const Args&... args) {
    std::vector<std::thread> workers;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false}, failed{false};
    for (int s = 0; s < sessions; ++s) {
        workers.emplace_back([&] {
            Client client(args...);
            if (!client.Open()) failed = true;
            ++ready;
            while (!go) std::this_thread::yield();
            if (!failed && !client.Run(requests)) failed = true;
        });
    }
    while (ready < sessions) std::this_thread::yield();
    Clock::time_point start = Clock::now();
    go = true;
    for (std::thread& w : workers) w.join();
    double elapsed = Seconds(start);
    return failed ? 0 : sessions * requests / elapsed;
}

// Runs the calling thread on one processor and every other thread of the
// process on another, for as long as it lives; then gives all threads back
// the processors they had. With the client on one processor and the servers
// on the other, each exchange wakes a thread on the other processor, as
// between two processes, and neither side can profit from sharing a processor
// with the other, which the scheduler grants some exchanges and not others.
class SplitProcessors {
public:
    SplitProcessors() {
        if (::sched_getaffinity(0, sizeof m_all, &m_all) != 0 || CPU_COUNT(&m_all) < 2) return;
        int first = -1, second = -1;
        for (int cpu = 0; cpu < CPU_SETSIZE && second < 0; ++cpu) {
            if (!CPU_ISSET(cpu, &m_all)) continue;
            (first < 0 ? first : second) = cpu;
        }
        cpu_set_t client, servers;
        CPU_ZERO(&client);
        CPU_ZERO(&servers);
        CPU_SET(first, &client);
        CPU_SET(second, &servers);
        m_split = ::sched_setaffinity(0, sizeof client, &client) == 0 && SetOthers(servers);
    }
    ~SplitProcessors() {
        (void)::sched_setaffinity(0, sizeof m_all, &m_all);  // a figure only; nothing depends on it
        (void)SetOthers(m_all);
    }
    SplitProcessors(const SplitProcessors&) = delete;
    SplitProcessors& operator=(const SplitProcessors&) = delete;

    bool split() const { return m_split; }

private:
    // Threads started later by a pinned thread inherit its processor.
    static bool SetOthers(const cpu_set_t& set) {
        const pid_t self = static_cast<pid_t>(::syscall(SYS_gettid));
        DIR* tasks = ::opendir("/proc/self/task");
        if (tasks == nullptr) return false;
        bool all = true;
        while (dirent* entry = ::readdir(tasks)) {
            const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
            if (tid > 0 && tid != self && ::sched_setaffinity(tid, sizeof set, &set) != 0) all = false;
        }
        ::closedir(tasks);
        return all;
    }

    cpu_set_t m_all{};
    bool m_split = false;
};

// One catalogue session and one echo connection, the requests sent in turns
// of a tenth each, so that both rates are taken over the same stretch of time
// and a machine that slows or speeds up meanwhile changes both alike.
bool OneSessionRates(uint16_t port, const std::string& requestFrame, int requests, double& catalogue, double& echo) {
    CatalogueClient requester;
    EchoClient raw(port, requestFrame);
    if (!requester.Open() || !raw.Open()) return false;
    SplitProcessors processors;  // once both servers' threads exist
    const int turn = std::max(1, requests / 10);
    double catalogueSeconds = 0, echoSeconds = 0;
    for (int sent = 0; sent < requests; sent += turn) {
        Clock::time_point start = Clock::now();
        if (!requester.Run(turn)) return false;
        catalogueSeconds += Seconds(start);
        start = Clock::now();
        if (!raw.Run(turn)) return false;
        echoSeconds += Seconds(start);
    }
    const double sent = static_cast<double>(turn) * ((requests + turn - 1) / turn);
    catalogue = sent / catalogueSeconds;
    echo = sent / echoSeconds;
    return true;
}

// A database list of `count` entries, its texts owned by `names`.
SQLDatabaseListRsp_11_t DatabaseList(int count, std::vector<std::string>& names,
                                     std::vector<SQLDatabaseInfo_11_t>& entries) {
    names.clear();
    entries.assign(static_cast<size_t>(count), SQLDatabaseInfo_11_t());
    for (int i = 0; i < count; ++i) names.push_back("database_" + std::to_string(100000 + i));
    for (int i = 0; i < count; ++i) {
        entries[i].name = names[i].data();
        entries[i].value1 = static_cast<uint64_t>(i + 5);
        entries[i].value2 = 1700000000u + static_cast<uint64_t>(i);
        entries[i].value3 = 0;
    }
    SQLDatabaseListRsp_11_t list;
    list.count = static_cast<uint32_t>(count);
    list.databases = entries.data();
    list.result = 1;
    return list;
}

// Encodes (and decodes) the 1,000-entry list for about `seconds`; records a second.
void CodecRates(double& encodesPerSecond, double& decodesPerSecond, size_t& payloadBytes) {
    std::vector<std::string> names;
    std::vector<SQLDatabaseInfo_11_t> entries;
    SQLDatabaseListRsp_11_t list = DatabaseList(1000, names, entries);
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&list, sizeof list);
    std::string payload;
    const int rounds = 400;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        if (jxsEncodeRecord(kSqlDatabaseListRsp, out, payload).IsError()) return;
    }
    encodesPerSecond = rounds / Seconds(start);
    payloadBytes = payload.size();
    start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        SQLDatabaseListRsp_11_t decoded;
        jxsDatabuf_v2 in;
        in.setExternalBuffer(&decoded, sizeof decoded);
        if (jxsDecodeRecord(kSqlDatabaseListRsp, payload, in).IsError()) return;
        (void)jxsFreeRecord(kSqlDatabaseListRsp, in);  // only fails on a buffer too small
    }
    decodesPerSecond = rounds / Seconds(start);
}

bool ParseOptions(int argc, char** argv, Options& options, int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            exitCode = Usage(stdout, 0);
            return false;
        }
        int* target = arg == "--runs"        ? &options.runs
                      : arg == "--requests"  ? &options.requests
                      : arg == "--databases" ? &options.databases
                                             : nullptr;
        if (target == nullptr || i + 1 >= argc) {
            exitCode = Usage(stderr, 2);
            return false;
        }
        char* end = nullptr;
        long value = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || value < 1 || value > 1000000) {
            exitCode = Usage(stderr, 2);
            return false;
        }
        *target = static_cast<int>(value);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int exitCode = 0;
    if (!ParseOptions(argc, argv, options, exitCode)) return exitCode;

    bench::BenchRoot root;
    if (!root.ok()) {
        std::fprintf(stderr, "bench_session: cannot make a temporary root\n");
        return 1;
    }
    {
        SqlSimInstance instance;
        SqlSimServerSpec server;
        server.name = kInstance;
        CWzError e = instance.Create(server);
        for (int i = 0; i < options.databases && e.IsSuccess(); ++i) {
            SqlSimDatabaseSpec database;
            database.name = "db" + std::to_string(i);
            database.dataSize = 4096;
            database.logSize = 4096;
            e = instance.AddDatabase(database);
        }
        if (e.IsError()) {
            std::fprintf(stderr, "bench_session: %s\n", e.GetMessage().c_str());
            return 1;
        }
    }
    SqlRegisterRecordCodecs();
    JxHost host;
    if (host.Start(0).IsError() || !jxsRegisterTarget(kTarget, host.Port()) ||
        !SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {JX_SQL_LIBRARY, "sqlMessageHandler"})) {
        std::fprintf(stderr, "bench_session: cannot start the host\n");
        return 1;
    }

    // The bytes of one exchange, for the echo server.
    std::string instanceName = kInstance;
    SQLDatabaseListReq_t request;
    request.instanceName = instanceName.data();
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof request);
    std::string requestPayload, replyPayload;
    {
        JxsRequester requester;
        SQLDatabaseListRsp_11_t reply;
        jxsDatabuf_v2 in;
        in.setExternalBuffer(&reply, sizeof reply);
        unsigned long code = 0;
        if (jxsEncodeRecord(kSqlDatabaseListReq, out, requestPayload).IsError() ||
            requester.Attach(kTarget, "sLNSQLClient61", "sLPSQLMSG").IsError() ||
            requester.Send(kSqlDatabaseListReq, &out).IsError() || requester.Receive(code, &in).IsError() ||
            jxsEncodeRecord(kSqlDatabaseListRsp, in, replyPayload).IsError()) {
            std::fprintf(stderr, "bench_session: the database list request failed\n");
            return 1;
        }
        (void)CJxNetwork::FreeReceivedMessage(code, &in);  // only fails on a buffer too small
        (void)requester.Disconnect();                      // nothing depends on a clean end
    }
    const std::string requestFrame = Frame(kSqlDatabaseListReq, requestPayload);
    EchoServer echo(Frame(kSqlDatabaseListRsp, replyPayload));

    bench::Figure cost1{"request / raw echo time, 1 session", "x (at most 1.5)", {}};
    bench::Figure scale8{"requests/s on 8 sessions / on 1", "x (at least 4)", {}};
    bench::Figure echoScale8{"raw echo/s on 8 sessions / on 1", "x", {}};
    bench::Figure rate1{"requests/s, 1 session", "1/s", {}};
    bench::Figure rate8{"requests/s, 8 sessions", "1/s", {}};
    bench::Figure echo1{"raw echo/s, 1 session", "1/s", {}};
    bench::Figure echo8{"raw echo/s, 8 sessions", "1/s", {}};
    bench::Figure encode{"encode, 1,000-entry database list", "lists/s", {}};
    bench::Figure decode{"decode, 1,000-entry database list", "lists/s", {}};
    bench::Figure encodeBytes{"encode rate", "MB/s", {}};
    bench::Figure decodeBytes{"decode rate", "MB/s", {}};
    for (int run = 0; run < options.runs; ++run) {
        double r1 = 0, e1 = 0;
        const bool one = OneSessionRates(echo.port(), requestFrame, options.requests, r1, e1);
        double r8 = RequestsPerSecond<CatalogueClient>(8, options.requests);
        double e8 = RequestsPerSecond<EchoClient>(8, options.requests, echo.port(), requestFrame);
        if (!one || r1 <= 0 || r8 <= 0 || e1 <= 0 || e8 <= 0) {
            std::fprintf(stderr, "bench_session: a run failed\n");
            return 1;
        }
        rate1.runs.push_back(r1);
        rate8.runs.push_back(r8);
        echo1.runs.push_back(e1);
        echo8.runs.push_back(e8);
        cost1.runs.push_back(e1 / r1);
        scale8.runs.push_back(r8 / r1);
        echoScale8.runs.push_back(e8 / e1);
        double encodes = 0, decodes = 0;
        size_t bytes = 0;
        CodecRates(encodes, decodes, bytes);
        encode.runs.push_back(encodes);
        decode.runs.push_back(decodes);
        encodeBytes.runs.push_back(encodes * static_cast<double>(bytes) / 1e6);
        decodeBytes.runs.push_back(decodes * static_cast<double>(bytes) / 1e6);
    }
    host.Stop();
    std::printf("request: database list of %d databases (%zu-byte reply), %d requests a session, %d runs\n",
                options.databases + 4, replyPayload.size(), options.requests, options.runs);
    bench::Print("bench_session",
                 {cost1, scale8, echoScale8, rate1, rate8, echo1, echo8, encode, decode, encodeBytes, decodeBytes});
    return 0;
}
