// CJxNetwork: one session of the network layer.
//
// A session is a TCP connection on loopback that carries one frame per
// message (see jxsFrame.h). A requester makes one with the default
// constructor and attaches it to a handler (a library and entry that the
// target's host runs for it); the host wraps each accepted connection in one
// and hands it to the handler's entry.
//
// Conventions of every operation:
// - the result is a CWzError; on failure the session's last error code and
//   text (GetLastErrorGenericText) say what happened: an errno value
//   (ETIMEDOUT, ECONNRESET, EPROTO, EBADMSG, EMSGSIZE, ENOTCONN, ...) or, after
//   the peer aborted, the error code of the peer's jxsStatus;
// - `timeout` is in platform seconds (wz clock, scaled in tests); a negative
//   time-out means six hours, so no wait is unbounded;
// - `flag` is set to true exactly when the call failed because its time-out
//   passed, and to false otherwise;
// - a time-out before any byte of a frame arrived leaves the session usable;
//   after a time-out inside a frame, a malformed frame or record, or the
//   peer's close, nothing more is read (every receive fails at once), but an
//   abort or disconnect reply can still be sent, which then closes the
//   session (IsConnected() turns false); a peer's abort closes it at once;
// - `flags` arguments are accepted and not used.
//
// A session is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "JxSession/jxsDatabuf_v2.h"
#include "JxSession/jxsFrame.h"
#include "JxSession/jxsSocket.h"
#include "JxSession/jxsTypes.h"
#include "WzUtils/CWzError.h"

// What the next message on a session is, as told by PeekDataFormat.
enum jxsDataFormat { JXS_DATA_FORMAT_NONE = 0, JXS_DATA_FORMAT_XDR = 1, JXS_DATA_FORMAT_XML = 2 };

class CNMessageBase;

class CJxNetwork {
public:
    // A new, unconnected session.
    CJxNetwork();
    // Host side: wraps an accepted socket, which the session then owns.
    explicit CJxNetwork(int acceptedSocket);
    // Closes the socket without telling the peer.
    ~CJxNetwork();
    CJxNetwork(const CJxNetwork&) = delete;
    CJxNetwork& operator=(const CJxNetwork&) = delete;

    bool IsConnected() const { return m_fd >= 0; }

    // Connects to the host of `target` (resolved through jxsTargets.h) and asks
    // it to run the handler that `descriptor` names; succeeds once the host has
    // bound the handler. `ownName` (may be null) tells the host who asks.
    // A host that cannot take another session aborts it with status
    // {2, EBUSY, 2}: the attach then fails with EBUSY.
    CWzError Attach_RemoteDLL(const std::string& target, const jxsExecuteRemoteDllType* descriptor,
                              const char* ownName, int timeout, bool& flag);

    // Starts `command`'s program on `host` through the process runner (the
    // program name is looked up in its program table) with the command's
    // arguments, each its own word, and a call-back address, and waits up
    // to `timeout` (a wait on another process: jxsHelperDeadline) for the
    // program to connect back (AttachBackToCaller).
    // Only this machine is reachable: the host name is logged, not used.
    CWzError Attach_RemoteCommand(const std::string& host, const jxsExecuteRemoteCommandType* command,
                                  const char* ownName, void* reserved, int timeout, bool& flag);
    // In a program started by Attach_RemoteCommand: connects this session to
    // the caller named by the call-back arguments of `argv`.
    CWzError AttachBackToCaller(int argc, char** argv, bool& flag);

    // Sends the record lent to `buffer` under `code`, encoded by the codec
    // registered for the code (a code without a codec sends no payload and
    // needs an empty buffer).
    CWzError SendXDRMessage(unsigned long code, jxsDatabuf_v2* buffer, int flags, int timeout, bool& flag);

    // Receives the next message: writes its code, decodes its record into the
    // memory lent to `buffer` (zeroed first; a code without a codec leaves the
    // buffer alone) and fills `header` when not null. The code may be null.
    // A disconnect request arrives as a message with code JXS_MSG_DISCONNECT
    // in group 0x09000000; a peer's abort arrives as a failure.
    CWzError ReceiveXDRMessage(unsigned long* code, jxsDatabuf_v2* buffer, jxsHostProtocolHeader* header, int flags,
                               int timeout, bool& flag);

    // Releases what decoding a message of `code` allocated inside the record
    // lent to `buffer` and clears those pointers; a second release, or one of
    // a record that never received anything, does nothing.
    static CWzError FreeReceivedMessage(unsigned long code, jxsDatabuf_v2* buffer);

    // XML messages of the message layer. A message travels as its XML text
    // under its class's tag id as the message code. The receive decodes any
    // catalogued class into a new message that the caller owns (delete it);
    // `message` is null after a failure. `code` and `header` may be null.
    CWzError SendXMLMessage(const CNMessageBase& message, int flags, int timeout, bool& flag);
    CWzError SendXMLMessage(const CNMessageBase* message, int flags, int timeout, bool& flag);
    CWzError ReceiveXMLMessage(unsigned long* code, CNMessageBase*& message, jxsHostProtocolHeader* header,
                               int flags, int timeout, bool& flag);
    // The same with the XML text as it travels, under `code`.
    CWzError SendXMLMessage(const std::string& xml, int flags, int timeout, bool& flag, unsigned long code = 0);
    CWzError ReceiveXMLMessage(unsigned long* code, std::string& xml, jxsHostProtocolHeader* header, int flags,
                               int timeout, bool& flag);

    // Waits up to `timeout` for the next message and tells its format without
    // consuming it. A time-out (flag set) leaves the session usable, so a
    // caller can wait slice after slice.
    CWzError PeekDataFormat(jxsDataFormat& format, int timeout, bool& flag);

    // Answers a disconnect request and closes the session.
    CWzError ReplyDisconnect(int timeout, bool& flag);
    // Tells the peer `status`, then closes the session.
    CWzError AbortConnection(jxsStatus& status, int timeout, bool& flag);
    // Asks the peer to end the session, waits up to `timeout` for its reply,
    // and closes the session in any case. Success when not connected.
    CWzError Disconnect(int timeout, bool& flag);

    // The last error code and text of this session (0 and "" before any failure).
    CWzError GetLastErrorGenericText(unsigned long* code, std::string& text, unsigned long flags);
    // The status of the peer's abort, once one has arrived.
    std::optional<jxsStatus> GetPeerAbortStatus() const { return m_peerAbort; }

    // Host side: reads the attach request that opens every session and
    // answers it (0 = the handler runs; else an error code and text).
    CWzError ReadAttachRequest(jxsExecuteRemoteDllType& descriptor, std::string& ownName, int timeout);
    CWzError ReplyAttach(uint32_t code, const std::string& text, int timeout);

    // The peer is a program this one started and each of the session's
    // waits is a budget for its answer, none a slice of a longer wait: every
    // time-out of the session, the attach's too, lasts at least the
    // helper-wait floor (jxsHelperDeadline). Kept for the session's life.
    void SetPeerIsHelperProcess() { m_peerIsHelper = true; }

private:
    // The deadline of a wait of `timeout` seconds on this session's peer.
    int64_t Deadline(int timeout) const;
    CWzError SendFrame(jxsFrameKind kind, uint64_t code, const std::string& payload, int timeout, bool& flag);
    // Reads what has arrived into the input buffer, waiting up to the deadline
    // for at least one byte.
    jxsIoStatus FillInput(int64_t deadline, int& err);
    size_t Buffered() const { return m_inEnd - m_inStart; }
    // Reads the next frame header (or takes the peeked one), then its payload.
    CWzError ReadHeader(jxsFrameHeader& header, int64_t deadline, bool& flag);
    CWzError ReadPayload(const jxsFrameHeader& header, std::string& payload, int64_t deadline, bool& flag);
    CWzError ReadFrame(jxsFrameHeader& header, std::string& payload, int timeout, bool& flag);
    // Reads the next frame, which must be of kind `expected`; fills code and header.
    CWzError ReceiveDataFrame(jxsFrameKind expected, unsigned long* code, jxsHostProtocolHeader* header,
                              std::string& payload, int timeout, bool& flag);
    // Turns an abort frame into the failure the receiver reports.
    CWzError PeerAborted(const std::string& payload);
    CWzError NotConnected(const FXCodeLocation& where);
    // Records `error` as the session's last error (with `code`) and logs it.
    CWzError Fail(CWzError error, uint64_t code);
    void Close();

    int m_fd = -1;
    jxsBlockingWait m_wait;  // the session's socket is blocking
    // Bytes read ahead of the frame being taken: a frame's header and a small
    // payload usually come in one read. Allocated at the first read.
    std::unique_ptr<char[]> m_in;
    size_t m_inStart = 0;
    size_t m_inEnd = 0;
    std::optional<jxsFrameHeader> m_peeked;
    bool m_inputBroken = false;  // the incoming stream is out of step or ended
    std::optional<jxsStatus> m_peerAbort;
    uint64_t m_lastErrorCode = 0;
    std::string m_lastErrorText;
    bool m_peerIsHelper = false;
};
