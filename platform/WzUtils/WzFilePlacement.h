// WzFilePlacement: puts new files in place of old ones all or none.
//
// Each Place() renames the file that stands at the target aside (a name of
// its own beside it) and then renames the new file to the target. Until
// Keep() or PutBack() every old file stays aside, so that a failure of any
// later step (another file, or the record of the change) can put back every
// old file exactly as it was: PutBack() renames each one back over the new
// file, in reverse order, and removes a new file that stands where no file
// stood before. Keep() removes the old files once the change is recorded.
// An object left without either keeps the old files aside (never removes
// them unasked). Every call goes through the file-system seam.
#pragma once

#include <string>
#include <vector>

namespace wz {

class FilePlacement {
public:
    FilePlacement() = default;
    FilePlacement(const FilePlacement&) = delete;
    FilePlacement& operator=(const FilePlacement&) = delete;

    // Puts `file` at `target`, keeping what stood there aside. False with
    // `error` (naming the target) when it cannot; then `file` is still where
    // it was and whatever this call moved is back in place.
    bool Place(const std::string& file, const std::string& target, std::string& error);
    // Puts back every file this object placed over. False when a file could
    // not be put back: `error` names each such target and where its old
    // content lies; the others are back.
    bool PutBack(std::string& error);
    // The placing stands: removes the old files kept aside (one that cannot
    // be removed only takes space).
    void Keep();

private:
    struct Placed {
        std::string target;
        std::string aside;  // empty: no file stood at the target
    };
    std::vector<Placed> m_placed;
};

}  // namespace wz
