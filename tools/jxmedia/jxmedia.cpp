// jxmedia: looks into the disk library under the platform root
// ($JX_PLATFORM_ROOT/media): lists its archive files, shows the backups
// (pieces) one holds, verifies their headers and checksums, and extracts a
// piece to a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLVDIBase/VdiStreamFormat.h"

namespace {

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: jxmedia list\n"
                 "       jxmedia show ARCHIVE-FILE-ID\n"
                 "       jxmedia verify [ARCHIVE-FILE-ID...]\n"
                 "       jxmedia extract ARCHIVE-FILE-ID OFFSET OUTPUT-FILE\n"
                 "       jxmedia --help\n"
                 "\n"
                 "Looks into the disk library under $JX_PLATFORM_ROOT/media.\n"
                 "  list     every archive file: id, JxCell and group ids, job, stream, size, how\n"
                 "           many of its pieces are committed, and its bytes after its last committed\n"
                 "           piece (a running backup's, or those of a failed or killed one that the\n"
                 "           next backup or restore job reclaims).\n"
                 "  show     the pieces (one per database backed up on that stream) of one archive\n"
                 "           file: offset, length, database, backup type, LSN range, stream i of n,\n"
                 "           and whether it was committed (a piece marked UNCOMMITTED cannot be\n"
                 "           restored).\n"
                 "  verify   reads every piece of the given archive files (all when none is given)\n"
                 "           and checks its header, its checksums and its totals; exits with 1\n"
                 "           when anything is damaged.\n"
                 "  extract  copies the piece that starts at OFFSET to OUTPUT-FILE (\"-\" for\n"
                 "           standard output); the file must not exist yet.\n");
}

bool ParseId(const char* text, uint32_t& id) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v == 0 || v > 0xFFFFFFFFull || text[0] == '-') return false;
    id = static_cast<uint32_t>(v);
    return true;
}

bool ParseOffset(const char* text, uint64_t& offset) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return false;
    offset = v;
    return true;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "jxmedia: %s\n", text.c_str());
    return 1;
}

uint64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

int List(DiskLibrary& library) {
    std::vector<MediaArchiveFile> files;
    if (CWzError e = library.ListArchiveFiles(files); e.IsError()) return Fail(e.GetMessage());
    std::printf("%-10s %-8s %-10s %-10s %-6s %-14s %-22s %s\n", "AFILE", "JXCELL", "GROUP", "JOB", "STREAM", "BYTES",
                "PIECES (committed/all)", "UNCOMMITTED BYTES");
    for (const MediaArchiveFile& f : files) {
        std::vector<MediaPiece> pieces;
        if (CWzError e = library.PiecesOf(f.id.archiveFileId, pieces); e.IsError()) return Fail(e.GetMessage());
        size_t committed = 0;
        for (const MediaPiece& p : pieces) committed += p.committed ? 1 : 0;
        const uint64_t size = FileSize(f.path);
        const uint64_t kept = DiskLibrary::CommittedEnd(pieces);
        const std::string count = std::to_string(committed) + "/" + std::to_string(pieces.size());
        std::printf("%-10u %-8u %-10u %-10llu %-6u %-14llu %-22s %llu\n", f.id.archiveFileId, f.id.jxCellId,
                    f.id.archiveGroupId, static_cast<unsigned long long>(f.jobId), f.stream,
                    static_cast<unsigned long long>(size), count.c_str(),
                    static_cast<unsigned long long>(size > kept ? size - kept : 0));
    }
    if (files.empty()) std::printf("(the disk library holds no archive files)\n");
    return 0;
}

int Show(DiskLibrary& library, uint32_t id) {
    MediaArchiveFile f;
    if (CWzError e = library.FindArchiveFile(id, f); e.IsError()) return Fail(e.GetMessage());
    std::vector<MediaPiece> pieces;
    if (CWzError e = library.PiecesOf(id, pieces); e.IsError()) return Fail(e.GetMessage());
    std::printf("archive file %u: %s (job %llu, stream %u, %llu bytes)\n", id, f.path.c_str(),
                static_cast<unsigned long long>(f.jobId), f.stream, static_cast<unsigned long long>(FileSize(f.path)));
    std::printf("%-12s %-12s %-20s %-4s %-24s %-8s %s\n", "OFFSET", "LENGTH", "DATABASE", "TYPE", "LSN RANGE", "STREAM",
                "STATE");
    for (const MediaPiece& p : pieces) {
        std::string lsns = p.firstLsn + "-" + p.lastLsn;
        std::string stream = std::to_string(p.stream) + " of " + std::to_string(p.streams);
        std::printf("%-12llu %-12llu %-20s %-4s %-24s %-8s %s\n", static_cast<unsigned long long>(p.offset),
                    static_cast<unsigned long long>(p.length), p.database.c_str(), p.type.c_str(), lsns.c_str(),
                    stream.c_str(), p.committed ? "committed" : "UNCOMMITTED (not restorable)");
    }
    return 0;
}

// Reads [offset, offset + length) of an open file piece by piece.
class PieceReader {
public:
    PieceReader(int fd, uint64_t offset, uint64_t length) : m_fd(fd), m_at(offset), m_end(offset + length) {}
    bool Read(char* out, uint64_t n) {
        if (n > m_end - m_at) return false;
        while (n > 0) {
            ssize_t r = ::pread(m_fd, out, static_cast<size_t>(n), static_cast<off_t>(m_at));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            m_at += static_cast<uint64_t>(r);
            out += r;
            n -= static_cast<uint64_t>(r);
        }
        return true;
    }
    uint64_t At() const { return m_at; }
    bool AtEnd() const { return m_at == m_end; }

private:
    int m_fd;
    uint64_t m_at;
    uint64_t m_end;
};

// The problem of one piece, empty when it is intact.
std::string VerifyPiece(int fd, const MediaPiece& p) {
    PieceReader in(fd, p.offset, p.length);
    char first[16];
    if (!in.Read(first, sizeof first)) return "cut short before its header";
    size_t length = VdiStreamHeaderLength(first);
    if (length == 0) return "no stream header at its offset";
    std::vector<char> header(length);
    std::memcpy(header.data(), first, sizeof first);
    if (!in.Read(header.data() + 16, length - 16)) return "cut short in its header";
    VdiStreamHeader h;
    if (CWzError e = VdiDecodeStreamHeader(header.data(), header.size(), h); e.IsError()) return e.GetMessage();
    VdiStreamTotals seen;
    std::vector<char> payload;
    for (;;) {
        uint64_t at = in.At();
        char head[VdiChunkHead::kSize];
        if (!in.Read(head, sizeof head)) return "cut short: its end is missing";
        VdiChunkHead c;
        if (!VdiDecodeChunkHead(head, c)) return "damaged chunk head at byte " + std::to_string(at);
        payload.resize(static_cast<size_t>(c.length));
        if (!in.Read(payload.data(), c.length)) return "cut short in the chunk at byte " + std::to_string(at);
        if (!VdiChunkIntact(head, c, payload.data())) return "checksum mismatch in the chunk at byte " + std::to_string(at);
        if (c.kind == VdiChunkKind::End) {
            VdiStreamTotals totals;
            std::memcpy(&totals.chunks, payload.data(), 8);
            std::memcpy(&totals.bytes, payload.data() + 8, 8);
            if (totals.chunks != seen.chunks || totals.bytes != seen.bytes) return "chunks missing";
            if (!in.AtEnd()) return "bytes after its end";
            return "";
        }
        seen.chunks += 1;
        seen.bytes += c.length;
    }
}

int Verify(DiskLibrary& library, std::vector<uint32_t> ids) {
    if (ids.empty()) {
        std::vector<MediaArchiveFile> files;
        if (CWzError e = library.ListArchiveFiles(files); e.IsError()) return Fail(e.GetMessage());
        for (const MediaArchiveFile& f : files) ids.push_back(f.id.archiveFileId);
    }
    int damaged = 0;
    for (uint32_t id : ids) {
        MediaArchiveFile f;
        std::vector<MediaPiece> pieces;
        if (CWzError e = library.FindArchiveFile(id, f); e.IsError()) return Fail(e.GetMessage());
        if (CWzError e = library.PiecesOf(id, pieces); e.IsError()) return Fail(e.GetMessage());
        int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::printf("archive file %u: MISSING (%s)\n", id, std::strerror(errno));
            ++damaged;
            continue;
        }
        for (const MediaPiece& p : pieces) {
            std::string problem = VerifyPiece(fd, p);
            std::printf("archive file %u offset %llu (%s %s): %s%s\n", id, static_cast<unsigned long long>(p.offset),
                        p.database.c_str(), p.type.c_str(), problem.empty() ? "OK" : "DAMAGED: ", problem.c_str());
            if (!problem.empty()) ++damaged;
        }
        ::close(fd);
    }
    std::printf("%d damaged\n", damaged);
    return damaged == 0 ? 0 : 1;
}

int Extract(DiskLibrary& library, uint32_t id, uint64_t offset, const std::string& output) {
    MediaArchiveFile f;
    MediaPiece p;
    if (CWzError e = library.FindArchiveFile(id, f); e.IsError()) return Fail(e.GetMessage());
    if (CWzError e = library.FindPiece(id, offset, false, p); e.IsError()) return Fail(e.GetMessage());
    int in = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail("cannot open " + f.path + ": " + std::strerror(errno));
    int out = output == "-" ? STDOUT_FILENO : ::open(output.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return Fail("cannot create " + output + ": " + std::strerror(errno));
    }
    PieceReader reader(in, p.offset, p.length);
    std::vector<char> buffer(1024 * 1024);
    uint64_t left = p.length;
    bool ok = true;
    while (ok && left > 0) {
        uint64_t n = std::min<uint64_t>(left, buffer.size());
        ok = reader.Read(buffer.data(), n);
        for (uint64_t done = 0; ok && done < n;) {
            ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += static_cast<uint64_t>(w);
        }
        left -= n;
    }
    ::close(in);
    if (out != STDOUT_FILENO && ::close(out) != 0) ok = false;
    if (!ok) return Fail("cannot extract the piece: " + std::string(std::strerror(errno)));
    if (output != "-") {
        std::fprintf(stderr, "extracted %llu bytes of %s (%s) to %s%s\n", static_cast<unsigned long long>(p.length),
                     p.database.c_str(), p.type.c_str(), output.c_str(), p.committed ? "" : " (piece UNCOMMITTED)");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage(stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        Usage(stdout);
        return 0;
    }
    DiskLibrary library;
    uint32_t id = 0;
    if (command == "list" && argc == 2) return List(library);
    if (command == "show" && argc == 3 && ParseId(argv[2], id)) return Show(library, id);
    if (command == "verify") {
        std::vector<uint32_t> ids;
        bool ok = true;
        for (int i = 2; i < argc && ok; ++i) {
            ok = ParseId(argv[i], id);
            ids.push_back(id);
        }
        if (ok) return Verify(library, ids);
    }
    uint64_t offset = 0;
    if (command == "extract" && argc == 5 && ParseId(argv[2], id) && ParseOffset(argv[3], offset)) {
        return Extract(library, id, offset, argv[4]);
    }
    std::fprintf(stderr, "jxmedia: unknown command or wrong arguments: %s\n", command.c_str());
    Usage(stderr);
    return 2;
}
