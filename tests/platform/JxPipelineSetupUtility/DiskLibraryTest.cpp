// The disk library's index: archive-file ids, pieces, commits and the
// restart string, and the media-offline switch.
#include <gtest/gtest.h>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxPipelineSetupUtility/RestorePipelineSetup.h"
#include "tests/support/TestRoot.h"

namespace {

class DiskLibraryTest : public jxtest::RootedTest {};

TEST_F(DiskLibraryTest, ArchiveFilesGetDistinctIdsAndPiecesCommitWithTheRestartString) {
    DiskLibrary library;
    MediaArchiveFile a, b;
    ASSERT_FALSE(library.CreateArchiveFile(2, 0x100000007ull, 1, a).IsError());
    ASSERT_FALSE(library.CreateArchiveFile(2, 0x100000007ull, 2, b).IsError());
    EXPECT_NE(a.id.archiveFileId, b.id.archiveFileId);
    EXPECT_EQ(a.id.archiveGroupId, 7u);
    EXPECT_EQ(a.path.rfind(root.path(), 0), 0u);

    MediaPiece p;
    p.archiveFileId = a.id.archiveFileId;
    p.offset = 0;
    p.length = 100;
    p.database = "d1";
    ASSERT_FALSE(library.AddPiece(p).IsError());
    MediaPiece q = p;
    q.offset = 100;
    q.database = "d2";
    ASSERT_FALSE(library.AddPiece(q).IsError());
    ASSERT_FALSE(library.CommitPieces({p.id}, 0x100000007ull, "-o 3|100").IsError());

    MediaPiece found;
    ASSERT_FALSE(library.FindPiece(a.id.archiveFileId, 100, false, found).IsError());
    EXPECT_EQ(found.database, "d2");
    EXPECT_FALSE(found.committed);
    ASSERT_FALSE(library.FindPiece(a.id.archiveFileId, 999, true, found).IsError());
    EXPECT_EQ(found.database, "d1");
    EXPECT_TRUE(found.committed);
    EXPECT_TRUE(library.FindPiece(a.id.archiveFileId, 50, false, found).IsError());
    std::string restart;
    ASSERT_FALSE(library.RestartString(0x100000007ull, restart).IsError());
    EXPECT_EQ(restart, "-o 3|100");
    ASSERT_FALSE(library.RestartString(8, restart).IsError());
    EXPECT_EQ(restart, "");
    ASSERT_FALSE(library.DropPiece(q.id).IsError());
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(library.PiecesOf(a.id.archiveFileId, pieces).IsError());
    EXPECT_EQ(pieces.size(), 1u);
    // A committed piece is not dropped.
    ASSERT_FALSE(library.DropPiece(p.id).IsError());
    ASSERT_FALSE(library.PiecesOf(a.id.archiveFileId, pieces).IsError());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].id, p.id);
    EXPECT_TRUE(pieces[0].committed);
}

TEST_F(DiskLibraryTest, OfflineMediaRefusesNewArchiveFilesAndUnknownIdsAreErrors) {
    root.WriteFile("media/offline", "");
    DiskLibrary library;
    MediaArchiveFile a;
    EXPECT_TRUE(library.CreateArchiveFile(2, 1, 1, a).IsError());
    EXPECT_TRUE(library.FindArchiveFile(4242, a).IsError());
    root.WriteFile("media/quota", "12345\n");
    EXPECT_EQ(DiskLibrary::QuotaBytes(), 12345u);
}

TEST_F(DiskLibraryTest, RestorePipelineNumbersItsStreamsFromOne) {
    RestorePipelineSetup pipeline;
    RestoreArchiveInfo x, y;
    x.archiveFileId = 1001;
    x.offset = 500;
    y.archiveFileId = 1002;
    y.offset = 700;
    y.ignoreOffset = true;
    ASSERT_FALSE(pipeline.Setup({x, y}).IsError());
    pipeline.setStreamBytes(2, 33);
    auto map = pipeline.getStreamPipeinfoMap();
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map[1].offset, 500u);
    EXPECT_EQ(map[2].offset, 0u);
    EXPECT_EQ(map[2].bytes, 33u);
    ASSERT_TRUE(map[1].pArchive);
    EXPECT_EQ(map[1].pArchive->GetResourceConsumerId(), 1001);
}

}  // namespace
