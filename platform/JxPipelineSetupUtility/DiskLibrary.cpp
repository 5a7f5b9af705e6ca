// The disk library: archive files and their index under the platform root.
#include "JxPipelineSetupUtility/DiskLibrary.h"

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"

struct DiskLibrary::Db {};

namespace {
CWzError NotYet(const FXCodeLocation& where) {
    return FXErrorUtil::ErrorHResult(where, WZ_E_FAIL, "the disk library is not available yet");
}
}  // namespace

std::string DiskLibrary::Directory() { return wz::PlatformPath("media"); }
bool DiskLibrary::IsOffline() { return false; }
uint64_t DiskLibrary::QuotaBytes() { return 0; }
DiskLibrary::~DiskLibrary() { delete m_db; }
CWzError DiskLibrary::Open() { return NotYet(FXCODELOC); }
CWzError DiskLibrary::CreateArchiveFile(uint32_t, uint64_t, uint32_t, MediaArchiveFile&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::FindArchiveFile(uint32_t, MediaArchiveFile&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::ListArchiveFiles(std::vector<MediaArchiveFile>&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::TotalBytes(uint64_t&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::AddPiece(MediaPiece&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::SetPieceLength(int64_t, uint64_t) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::DropPiece(int64_t) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::CommitPieces(const std::vector<int64_t>&, uint64_t, const std::string&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::PiecesOf(uint32_t, std::vector<MediaPiece>&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::FindPiece(uint32_t, uint64_t, bool, MediaPiece&) { return NotYet(FXCODELOC); }
CWzError DiskLibrary::RestartString(uint64_t, std::string&) { return NotYet(FXCODELOC); }
