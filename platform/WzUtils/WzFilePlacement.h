// WzFilePlacement: puts new files in place of old ones all or none.
//
// Each Place() renames the file that stands at the target aside (under a
// name beside it from AsideName) and then renames the new file to the
// target. Until Keep() or PutBack() every old file stays aside, so that a
// failure of any later step (another file, or the record of the change) can
// put back every old file exactly as it was: PutBack() renames each one back
// over the new file, in reverse order, and removes a new file that stands
// where no file stood before. Keep() removes the old files once the change
// is recorded. An object left without either keeps the old files aside
// (never removes them unasked). Every call goes through the file-system seam.
//
// A caller that must survive its own process being killed records the names
// the old files go to before it places anything; the next process takes such
// a placing on again (Resume) and puts it back or keeps it as if it were its
// own.
#pragma once

#include <string>
#include <vector>

namespace wz {

class FilePlacement {
public:
    FilePlacement() = default;
    FilePlacement(const FilePlacement&) = delete;
    FilePlacement& operator=(const FilePlacement&) = delete;

    // A name beside `target` that no file has yet, for the file at `target`
    // to be set aside under; empty when no file stands at `target` (errno
    // ENOENT) or it cannot be told (errno says why).
    static std::string AsideName(const std::string& target);

    // Puts `file` at `target`, keeping what stood there aside as `aside`
    // (from AsideName; empty when no file stood there, and then none may).
    // False with `error` (naming the target) when it cannot; then `file` is
    // still where it was and whatever this call moved is back in place.
    bool Place(const std::string& file, const std::string& target, const std::string& aside, std::string& error);
    // Takes on a placing of `target` that another object (of a process that
    // ended) began with `aside` (empty: no file stood at the target) and
    // neither kept nor put back. Its old file may not have been set aside
    // yet: PutBack() then leaves the target as it is.
    void Resume(const std::string& target, const std::string& aside);
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
        std::string aside;     // empty: no file stood at the target
        bool resumed = false;  // the aside may never have been made
    };
    std::vector<Placed> m_placed;
};

}  // namespace wz
