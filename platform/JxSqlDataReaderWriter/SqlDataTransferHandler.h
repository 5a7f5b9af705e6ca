// SqlDataTransferHandler: the data pipeline of a job between a virtual-device
// or file stream and the media. The job base holds one per job; the backup
// and restore drivers give it its work.
#pragma once

class SqlDataTransferHandler {
public:
    SqlDataTransferHandler() = default;
    SqlDataTransferHandler(const SqlDataTransferHandler&) = delete;
    SqlDataTransferHandler& operator=(const SqlDataTransferHandler&) = delete;
};
