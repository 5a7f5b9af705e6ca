// The file-copy receiver against a sender that misbehaves: whatever arrives,
// the destination holds either its old content or the whole new file.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "JxSession/JxCopyFile.h"
#include "JxSession/jxsFileCopyRecords.h"
#include "tests/support/TestRoot.h"

namespace fs = std::filesystem;

namespace {

class FileCopyReceiverTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        jxsRegisterFileCopyRecords();
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        sender = std::make_unique<CJxNetwork>(fds[0]);
        receiving = std::make_unique<CJxNetwork>(fds[1]);
        receiver = std::thread([this] { jxsFileCopyReceiver(receiving.get(), 0); });
        folder = root.File("dest");
        fs::create_directories(folder);
    }
    void TearDown() override {
        sender->Disconnect(10, flag);
        receiver.join();
    }

    template <typename Record>
    void Send(uint64_t code, Record& record) {
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof record);
        ASSERT_TRUE(sender->SendXDRMessage(code, &buffer, 0, 10, flag).IsSuccess());
    }
    void Begin(std::string destination, uint64_t size) {
        std::string name = "f.bin";
        jxsFileCopyBegin begin;
        begin.destinationPath = destination.data();
        begin.fileName = name.data();
        begin.size = size;
        Send(JXS_MSG_FILECOPY_BEGIN, begin);
    }
    void Chunk(std::string bytes) {
        jxsFileCopyChunk chunk;
        chunk.length = static_cast<uint32_t>(bytes.size());
        chunk.data = bytes.data();
        Send(JXS_MSG_FILECOPY_CHUNK, chunk);
    }
    void End(uint64_t size, uint64_t checksum) {
        jxsFileCopyEnd end;
        end.size = size;
        end.checksum = checksum;
        Send(JXS_MSG_FILECOPY_END, end);
    }
    int32_t Status() {
        jxsFileCopyStatus status;
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&status, sizeof status);
        unsigned long code = 0;
        EXPECT_TRUE(sender->ReceiveXDRMessage(&code, &buffer, nullptr, 0, 10, flag).IsSuccess());
        EXPECT_EQ(code, JXS_MSG_FILECOPY_STATUS);
        int32_t result = status.code;
        CJxNetwork::FreeReceivedMessage(code, &buffer);
        return result;
    }
    static uint64_t Sum(const std::string& bytes) {
        return jxsFileCopyChecksum(kJxsChecksumSeed, bytes.data(), bytes.size());
    }
    size_t EntriesIn(const std::string& dir) {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    std::unique_ptr<CJxNetwork> sender, receiving;
    std::thread receiver;
    std::string folder;
    bool flag = false;
};

TEST_F(FileCopyReceiverTest, WholeFileReplacesTheDestination) {
    root.WriteFile("dest/f.bin", "old content");
    Begin(folder + "/f.bin", 6);
    EXPECT_EQ(Status(), 0);
    Chunk("new");
    Chunk("er!");
    End(6, Sum("newer!"));
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(root.ReadFile("dest/f.bin"), "newer!");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

TEST_F(FileCopyReceiverTest, ShortLongOrAlteredTransfersLeaveTheOldFile) {
    root.WriteFile("dest/f.bin", "old");
    Begin(folder + "/f.bin", 4);  // fewer bytes arrive than announced
    EXPECT_EQ(Status(), 0);
    Chunk("abc");
    End(3, Sum("abc"));
    EXPECT_NE(Status(), 0);

    Begin(folder + "/f.bin", 2);  // more bytes than announced
    EXPECT_EQ(Status(), 0);
    Chunk("abc");
    End(3, Sum("abc"));
    EXPECT_NE(Status(), 0);

    Begin(folder + "/f.bin", 3);  // bytes changed on the way
    EXPECT_EQ(Status(), 0);
    Chunk("abd");
    End(3, Sum("abc"));
    EXPECT_NE(Status(), 0);

    EXPECT_EQ(root.ReadFile("dest/f.bin"), "old");
    EXPECT_EQ(EntriesIn(folder), 1u);  // no temporary file is left behind
}

TEST_F(FileCopyReceiverTest, DestinationsOutsideWhatTheyNameAreRefusedAtOnce) {
    Begin("relative/f.bin", 1);
    EXPECT_NE(Status(), 0);
    Begin(folder + "/sub/../f.bin", 1);
    EXPECT_NE(Status(), 0);
    Chunk("x");  // data of a refused copy is drained, not written
    End(1, Sum("x"));
    EXPECT_NE(Status(), 0);
    EXPECT_EQ(EntriesIn(folder), 0u);
}

}  // namespace
