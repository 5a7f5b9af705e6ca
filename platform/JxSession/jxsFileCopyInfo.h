// Records of the network layer's file copy between clients (JxCopyFile.h).
//
// Texts are zero-terminated within their areas. Constructing a record zeroes
// it. The option words and flags belong to the transfer protocol: callers
// set them as their protocol asks and the stand-in copy passes them through.
#pragma once

#include <cstdint>

constexpr unsigned kJxsFileCopyPathBytes = 1024;

// One file to transfer: its name and where it goes on the destination client.
struct jxsFilexferRequest {
    char fileName[kJxsFileCopyPathBytes] = {};
    char destinationFolder[kJxsFileCopyPathBytes] = {};
    uint64_t option = 0;
    uint32_t flag[3] = {};
    char extra[kJxsFileCopyPathBytes] = {};
    char reserved[20] = {};
};

// One file copy: the folder that holds the file on this client, an option
// word and the transfer request.
struct _JXS_FILE_COPY_INFO {
    char sourceFolder[kJxsFileCopyPathBytes] = {};
    uint32_t copyOption = 0;
    jxsFilexferRequest request;
};
