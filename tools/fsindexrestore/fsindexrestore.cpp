// fsindexrestore: stand-in of the media agent's index-restore process. It
// connects back to the client that started it, answers the set-up of an
// indexed restore session and then plays a script of reports (README.md).
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSession/CJxNetwork.h"
#include "JxSnapRestoreHandler/FSRMessages.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr int kSendTimeoutSeconds = 120;
constexpr int64_t kLongestReadMs = 3600 * 1000;  // a silent client ends the program after this
// Waits for the client are waits on another process: wz::HelperWaitMs.

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: fsindexrestore -j JOBID [-jxscallerport PORT -jxscallerkey KEY]\n"
                 "       fsindexrestore --help\n"
                 "\n"
                 "Stand-in of the media agent's index-restore process. Started by the client's\n"
                 "indexed restore session, it connects back to the caller, answers the session's\n"
                 "set-up and then plays $JX_PLATFORM_ROOT/fsindexrestore/JOBID.script (without\n"
                 "one: every requested path restored, then the end). The names of the messages it\n"
                 "reads go to $JX_PLATFORM_ROOT/fsindexrestore/JOBID.received, one a line.\n"
                 "See tools/fsindexrestore/README.md for the script's steps.\n");
}

using Step = std::vector<std::string>;

enum class OnStop { Ack, AckEnd, Ignore };

struct Script {
    uint32_t version = 6;
    bool refuseInit = false;
    bool refuseSnap = false;
    std::set<std::string> refusedPaths;
    OnStop onStop = OnStop::AckEnd;
    std::vector<Step> steps;
    bool given = false;
};

bool ParseU64(const std::string& text, uint64_t& value, int base = 10) {
    if (text.empty() || text[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, base);
    return errno == 0 && end != text.c_str() && *end == '\0';
}

bool LoadScript(const std::string& path, Script& script, std::string& error) {
    std::ifstream in(path);
    if (!in) return true;  // no script: the default restore
    script.given = true;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        Step step;
        for (std::string w; words >> w;) step.push_back(w);
        if (step.empty() || step[0][0] == '#') continue;
        uint64_t value = 0;
        if (step[0] == "version" && step.size() == 2 && ParseU64(step[1], value) && value <= 0xffffffffu) {
            script.version = static_cast<uint32_t>(value);
        } else if (step[0] == "refuse" && step.size() == 2 && step[1] == "init") {
            script.refuseInit = true;
        } else if (step[0] == "refuse" && step.size() == 2 && step[1] == "snap") {
            script.refuseSnap = true;
        } else if (step[0] == "refuse" && step.size() == 3 && step[1] == "path") {
            script.refusedPaths.insert(step[2]);
        } else if (step[0] == "onstop" && step.size() == 2 &&
                   (step[1] == "ack" || step[1] == "ackend" || step[1] == "ignore")) {
            script.onStop = step[1] == "ack" ? OnStop::Ack : step[1] == "ackend" ? OnStop::AckEnd : OnStop::Ignore;
        } else if (step[0] == "refuse" || step[0] == "version" || step[0] == "onstop") {
            error = "line " + std::to_string(number) + ": bad set-up step [" + line + "]";
            return false;
        } else {
            script.steps.push_back(step);
        }
    }
    return true;
}

class Peer {
public:
    Peer(CJxNetwork& session, const Script& script, std::string receivedLog)
        : m_session(session), m_script(script), m_receivedLog(std::move(receivedLog)) {}

    // Answers the set-up requests until the restore is started; false when
    // the session ended or a request was refused.
    bool SetUp() {
        for (;;) {
            FSRReceiveBuffer received;
            unsigned long code = 0;
            if (!Read(received, code, wz::HelperWaitSeconds(kSendTimeoutSeconds))) return false;
            bool ok = true;
            std::string refusal;
            if (code == FSR_MSG_INIT_REQ) {
                if (m_script.refuseInit) refusal = "initialisation refused by script";
            } else if (code == FSR_MSG_RESTORE_PATH_REQ) {
                const FSRPathMsg& path = received.as<FSRPathMsg>();
                const std::string text = path.path != nullptr ? path.path : "";
                if (m_script.refusedPaths.count(text) != 0) {
                    refusal = "path [" + text + "] not found in the index";
                } else {
                    m_paths.push_back(text);
                }
            } else if (code == FSR_MSG_RESTORE_FROM_SNAP_REQ) {
                if (m_script.refuseSnap) refusal = "restore from snapshot refused by script";
            } else if (code == JXS_MSG_DISCONNECT) {
                bool flag = false;
                (void)m_session.ReplyDisconnect(kSendTimeoutSeconds, flag);  // the session ends either way
                return false;
            } else {
                std::fprintf(stderr, "fsindexrestore: unexpected [%s] during set-up\n", FSRMessageName(code).c_str());
                ok = false;
            }
            Free(code, received);
            if (!ok) return false;
            if (!Reply(refusal)) return false;
            // A refused path leaves the session open for the client to go on or end it.
            if (!refusal.empty() && code != FSR_MSG_RESTORE_PATH_REQ) return false;
            if (code == FSR_MSG_RESTORE_FROM_SNAP_REQ) return true;
        }
    }

    // Plays the script's steps (the default restore without a script), then
    // reads until the client ends the session.
    int Run() {
        std::vector<Step> steps = m_script.steps;
        if (!m_script.given) {
            for (const std::string& path : m_paths) steps.push_back({"item", path});
            const std::string n = std::to_string(m_paths.size());
            steps.push_back({"progress", n, n, "0", "0", "final"});
            steps.push_back({"end"});
        }
        for (const Step& step : steps) {
            if (m_ended) return 0;
            if (!Play(step)) return 1;
        }
        ReadUntil(wz::ClockMs() + wz::HelperWaitMs(kLongestReadMs), "", 0);
        return 0;
    }

private:
    // Frees what decoding the last message allocated; the record is one of
    // our own codecs, whose free pass cannot fail.
    static void Free(unsigned long code, FSRReceiveBuffer& received) {
        jxsDatabuf_v2 buffer = received.lend();
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);
    }

    bool Reply(const std::string& refusal) {
        FSRReplyMsg reply;
        reply.status = refusal.empty() ? 0 : 2;
        reply.protocolVersion = m_script.version;
        reply.text = const_cast<char*>(refusal.c_str());  // only encoded
        return Send(FSR_MSG_REPLY, &reply, sizeof reply);
    }

    bool Send(unsigned long code, void* record = nullptr, unsigned long size = 0) {
        jxsDatabuf_v2 out;
        if (record != nullptr) out.setExternalBuffer(record, size);
        bool timedOut = false;
        if (CWzError e = m_session.SendXDRMessage(code, &out, 0, kSendTimeoutSeconds, timedOut); e.IsError()) {
            std::fprintf(stderr, "fsindexrestore: cannot send [%s]: %s\n", FSRMessageName(code).c_str(),
                         e.AsString().c_str());
            return false;
        }
        return true;
    }

    // Reads one message (logging its name); false when the session is over.
    bool Read(FSRReceiveBuffer& received, unsigned long& code, int timeoutSeconds, bool* timedOut = nullptr) {
        bool flag = false;
        jxsDatabuf_v2 buffer = received.lend();
        CWzError e = m_session.ReceiveXDRMessage(&code, &buffer, nullptr, 0, timeoutSeconds, flag);
        if (timedOut != nullptr) *timedOut = flag;
        if (e.IsError()) return false;
        std::ofstream(m_receivedLog, std::ios::app) << FSRMessageName(code) << '\n';
        return true;
    }

    // Reads until `deadline` (platform ms), until `count` messages named
    // `name` arrived (when name is not empty), or until the session ends.
    // Stops and disconnect requests are answered on the way.
    bool ReadUntil(int64_t deadline, const std::string& name, uint64_t count) {
        uint64_t seen = 0;
        while (m_session.IsConnected() && !(!name.empty() && seen >= count)) {
            const int64_t left = deadline - wz::ClockMs();
            if (left <= 0) return name.empty();
            FSRReceiveBuffer received;
            unsigned long code = 0;
            bool timedOut = false;
            const int slice = static_cast<int>(std::min<int64_t>((left + 999) / 1000, 60));
            if (!Read(received, code, slice, &timedOut)) {
                if (timedOut) continue;
                return false;  // the client went away
            }
            Free(code, received);
            if (FSRMessageName(code) == name) ++seen;
            if (code == JXS_MSG_DISCONNECT) {
                bool flag = false;
                (void)m_session.ReplyDisconnect(kSendTimeoutSeconds, flag);  // the session ends either way
                m_ended = true;
                return name.empty();
            }
            if (code == FSR_MSG_STOP && !OnStopRequest()) return false;
        }
        return true;
    }

    bool OnStopRequest() {
        if (m_script.onStop == OnStop::Ignore) return true;
        if (!Send(FSR_MSG_STOP)) return false;
        if (m_script.onStop == OnStop::AckEnd) return Send(FSR_MSG_RESTORE_END);
        return true;
    }

    bool SendReason(unsigned long code, const std::string& text) {
        int64_t reason = std::strtoll(text.c_str(), nullptr, 10);
        FSRReasonMsg msg;
        msg.reason = reason;
        return Send(code, &msg, sizeof msg);
    }

    static bool Counts(const Step& step, uint64_t (&n)[4], bool& isFinal) {
        if (step.size() != 5 && !(step.size() == 6 && step[5] == "final")) return false;
        for (int i = 0; i < 4; ++i) {
            if (!ParseU64(step[i + 1], n[i])) return false;
        }
        isFinal = step.size() == 6;
        return true;
    }

    bool Play(const Step& step) {
        const std::string& what = step[0];
        static const std::map<std::string, unsigned long> plain = {{"end", FSR_MSG_RESTORE_END},
                                                                   {"partialend", FSR_MSG_PARTIAL_RESTORE_END},
                                                                   {"norestore", FSR_MSG_NO_RESTORE},
                                                                   {"nobackup", FSR_MSG_NO_BACKUP},
                                                                   {"reboot", FSR_MSG_REBOOT_CLIENT}};
        uint64_t value = 0;
        if (auto it = plain.find(what); it != plain.end() && step.size() == 1) return Send(it->second);
        if (what == "srcpath" && step.size() == 2) {
            FSRPathMsg msg;
            msg.path = const_cast<char*>(step[1].c_str());  // only encoded
            return Send(FSR_MSG_SRC_PATH, &msg, sizeof msg);
        }
        if (what == "item" && step.size() >= 2 && step.size() <= 4) {
            FSRRestoreItem item = Item(step[1], step.size() > 2 ? std::strtoull(step[2].c_str(), nullptr, 10) : 0,
                                       step.size() > 3 ? std::atoi(step[3].c_str()) : 0);
            return Send(FSR_MSG_RESTORE_ITEM, &item, sizeof item);
        }
        if (what == "items" && (step.size() == 2 || step.size() == 3) && ParseU64(step[1], value) &&
            value <= kFsrMaxItemsPerArray) {
            std::vector<std::string> names;
            std::vector<FSRRestoreItem> items;
            for (uint64_t i = 1; i <= value; ++i) names.push_back("item-" + std::to_string(i));
            for (const std::string& name : names) items.push_back(Item(name, 1024, 0));
            uint64_t announced = value;
            if (step.size() == 3 && !ParseU64(step[2], announced)) return Bad(step);
            FSRRestoreItemArray array;
            array.count = static_cast<uint32_t>(announced);
            array.itemCount = static_cast<uint32_t>(items.size());
            array.items = items.empty() ? nullptr : items.data();
            return Send(FSR_MSG_RESTORE_ITEM_ARRAY, &array, sizeof array);
        }
        if (what == "progress" || what == "progress59") {
            uint64_t n[4] = {};
            bool isFinal = false;
            if (!Counts(step, n, isFinal)) return Bad(step);
            if (what == "progress59") {
                MsgJobProgress_5_9 p;
                p.totalFiles = n[0], p.succeeded = n[1], p.skipped = n[2], p.failed = n[3];
                p.uncompressedBytes = (n[1] + n[2]) * 1024;
                p.compressedBytes = p.uncompressedBytes / 2;
                p.isFinal = isFinal;
                return Send(FSR_MSG_JOB_PROGRESS_5_9, &p, sizeof p);
            }
            MsgJobProgress p;
            p.totalFiles = static_cast<uint32_t>(n[0]), p.succeeded = static_cast<uint32_t>(n[1]);
            p.skipped = static_cast<uint32_t>(n[2]), p.failed = static_cast<uint32_t>(n[3]);
            p.uncompressedBytes = (n[1] + n[2]) * 1024;
            p.compressedBytes = p.uncompressedBytes / 2;
            p.isFinal = isFinal;
            return Send(FSR_MSG_JOB_PROGRESS, &p, sizeof p);
        }
        uint64_t second = 0;
        if (what == "percent" && step.size() == 3 && ParseU64(step[1], value) && ParseU64(step[2], second)) {
            FSRPercentProgress p;
            p.total = value;
            p.done = second;
            return Send(FSR_MSG_PERCENT_PROGRESS, &p, sizeof p);
        }
        if (what == "fail" && step.size() == 2) return SendReason(FSR_MSG_RESTORE_FAILED, step[1]);
        if (what == "jobfail" && step.size() == 2) return SendReason(FSR_MSG_RESTORE_JOB_FAILED, step[1]);
        if (what == "send" && step.size() == 2 && ParseU64(step[1], value, 16)) return Send(value);
        if (what == "waitfor" && step.size() == 3 && ParseU64(step[2], value)) {
            return ReadUntil(wz::ClockMs() + wz::HelperWaitMs(kLongestReadMs), step[1], value);
        }
        if (what == "pause" && step.size() == 2 && ParseU64(step[1], value) && value <= 86400) {
            return ReadUntil(wz::ClockMs() + static_cast<int64_t>(value) * 1000, "", 0);
        }
        if (what == "silent" && step.size() == 1) {
            ReadUntil(wz::ClockMs() + wz::HelperWaitMs(kLongestReadMs), "", 0);
            m_ended = true;
            return true;
        }
        if (what == "disconnect" && step.size() == 1) {
            bool flag = false;
            (void)m_session.Disconnect(kSendTimeoutSeconds, flag);  // closes the session in any case
            m_ended = true;
            return true;
        }
        if (what == "drop" && step.size() == 1) {
            std::exit(0);  // the socket closes with the process
        }
        return Bad(step);
    }

    static FSRRestoreItem Item(const std::string& path, uint64_t size, int error) {
        FSRRestoreItem item;
        item.fileType = 1;
        item.path = const_cast<char*>(path.c_str());  // only encoded
        item.modificationTime = 1700000000;
        item.sizeLow = static_cast<uint32_t>(size & 0xffffffffu);
        item.sizeHigh = static_cast<uint32_t>(size >> 32);
        item.version = 1;
        item.error = error;
        return item;
    }

    static bool Bad(const Step& step) {
        std::string line;
        for (const std::string& w : step) line += (line.empty() ? "" : " ") + w;
        std::fprintf(stderr, "fsindexrestore: bad step [%s]\n", line.c_str());
        return false;
    }

    CJxNetwork& m_session;
    const Script& m_script;
    std::string m_receivedLog;
    std::vector<std::string> m_paths;
    bool m_ended = false;
};

}  // namespace

int main(int argc, char** argv) {
    uint64_t jobId = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "-j") == 0 && i + 1 < argc) {
            if (!ParseU64(argv[++i], jobId)) jobId = 0;
        } else if ((std::strcmp(argv[i], "-jxscallerport") == 0 || std::strcmp(argv[i], "-jxscallerkey") == 0) &&
                   i + 1 < argc) {
            ++i;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (jobId == 0) {
        Usage(stderr);
        return 2;
    }
    EvDebug::SetProgramName("fsindexrestore");
    FSRRegisterRecordCodecs();
    const std::string base = "fsindexrestore/" + std::to_string(jobId);
    Script script;
    std::string error;
    if (!LoadScript(wz::PlatformPath(base + ".script"), script, error)) {
        std::fprintf(stderr, "fsindexrestore: %s\n", error.c_str());
        return 2;
    }
    CJxNetwork session;
    bool timedOut = false;
    if (CWzError e = session.AttachBackToCaller(argc, argv, timedOut); e.IsError()) {
        std::fprintf(stderr, "fsindexrestore: %s\n", e.AsString().c_str());
        return 1;
    }
    Peer peer(session, script, wz::PlatformFilePath(base + ".received"));
    if (!peer.SetUp()) return 1;
    return peer.Run();
}
