// Restore from files: each file given by setDBFiles is one stream of the
// backup set, fed into its device by a reader thread while the statement
// restores from the devices as it does from the pipeline.
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSQLVDIBase/VdiRun.h"
#include "WzUtils/auto_handle.h"
#include "WzUtils/WzFileSystem.h"

namespace {

void Feed(VdiStatement& s, VdiDevice& device, const std::string& path) {
    auto_handle file(wz::Fs().Open(path, O_RDONLY | O_CLOEXEC));
    if (!file.is_valid()) {
        device.Abort("Cannot open backup device '" + path + "': " + std::strerror(errno));
        return;
    }
    for (;;) {
        VdiBlock block;
        if (VdiAcquire(s, device, block) != VdiWait::Ok) return;  // the statement ended or stopped
        ssize_t got = wz::Fs().Read(file.get(), block.data.get(), block.capacity);
        if (got < 0) {
            device.Abort("Read on backup device '" + path + "' failed: " + std::strerror(errno));
            return;
        }
        if (got == 0) {
            device.Release(std::move(block));
            device.Close();
            return;
        }
        block.size = static_cast<size_t>(got);
        if (device.Put(std::move(block)) != VdiWait::Ok) return;
    }
}

}  // namespace

void VdiRunRestoreFromFiles(VdiStatement& s) {
    if (s.options.dbFiles.size() != s.devices.size()) {
        VdiFail(s, -1, "The files to restore do not match the devices of the statement.");
        return;
    }
    std::vector<std::thread> readers;
    for (size_t i = 0; i < s.devices.size(); ++i) {
        readers.emplace_back(Feed, std::ref(s), std::ref(*s.devices[i]), s.options.dbFiles[i]);
    }
    VdiRunRestore(s);
    // A reader still waiting for a buffer ends with the devices.
    VdiAbortDevices(s);
    for (std::thread& reader : readers) reader.join();
}
