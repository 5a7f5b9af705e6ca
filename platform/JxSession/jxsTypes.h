// Records and message codes of the network layer shared by both ends of a
// session: the protocol header filled on receive, the abort status, the
// attach descriptor and the codes of the session-control messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Upper bounds of one message; a frame or field above them is refused.
constexpr uint32_t kJxsMaxPayloadBytes = 16u * 1024u * 1024u;
constexpr uint32_t kJxsMaxArrayCount = 1u << 20;

// Filled by every receive. Zero-filled on construction.
struct jxsHostProtocolHeader {
    uint64_t protocolVersion = 0;  // version of the frame format the peer sent
    uint64_t messageCode = 0;      // code of the received message
    uint64_t messageGroup = 0;     // the code's group (its top byte)
    uint64_t payloadLength = 0;    // bytes of encoded payload that followed the header
};

// What an abort tells the peer: a status class, the error code that made the
// sender give up, and a severity.
struct jxsStatus {
    uint32_t statusClass = 0;
    uint64_t errorCode = 0;
    uint32_t severity = 0;
};

// Names the handler a session attaches to: a library name and an entry name
// that the host's bindings resolve to a shared library and an exported entry.
struct jxsExecuteRemoteDllType {
    char libraryName[257] = {};
    char entryName[257] = {};
    uint64_t option = 0;  // passed through; the host does not read it
};

// A program to start on a client (CJxNetwork::Attach_RemoteCommand): its
// name and its arguments, each argument its own word.
struct jxsExecuteRemoteCommandType {
    uint32_t value1 = 0;
    std::string program;
    std::vector<std::string> arguments;
    uint32_t value4 = 1;
    uint32_t value5 = 0;
};

// The group of a message code is its top byte.
constexpr uint64_t jxsMessageGroup(uint64_t code) { return code & 0xff000000u; }

// Session-control codes (group 0x09000000).
constexpr uint64_t JXS_MSG_DISCONNECT = 0x9000102;        // a peer asks to end the session
constexpr uint64_t JXS_MSG_DISCONNECT_REPLY = 0x9000103;  // answer to a disconnect request
constexpr uint64_t JXS_MSG_DISCONNECT_V2 = 0x9000202;     // second form of the disconnect request
constexpr uint64_t JXS_MSG_ABORT = 0x9000203;             // carries a jxsStatus; the session is over
