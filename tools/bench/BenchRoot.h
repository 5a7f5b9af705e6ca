// A platform root of a benchmark's own in a temporary folder, removed at the
// end, with platform time at its normal pace.
#pragma once

#include <string>

namespace bench {

class BenchRoot {
public:
    BenchRoot();
    ~BenchRoot();
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Removes the archive files of the disk library under the platform root in
// use, so that repeated runs do not fill the scratch disk.
void DropArchiveFiles();

}  // namespace bench
