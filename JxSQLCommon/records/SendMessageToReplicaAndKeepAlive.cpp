// SendMessageToReplicaAndKeepAlive: a request to a peer agent with a
// slice-by-slice wait for its reply.
#include "JxSQLCommon/records/SendMessageToReplicaAndKeepAlive.h"

#include <cstdint>
#include <cstring>

#include "JxLib/EvDebug.h"
#include "JxSession/CJxNetwork.h"

namespace {

// Time-outs in seconds.
constexpr int kAttachTimeout = 240;
constexpr int kSendTimeout = 360;
constexpr int kSliceTimeout = 600;

// Ends the session, telling the peer the session's last error.
void AbortWithLastError(CJxNetwork& network, int timeout) {
    unsigned long code = 0;
    std::string text;
    (void)network.GetLastErrorGenericText(&code, text, 0);  // only reads the session's record
    jxsStatus status{2, code, 2};
    bool flag = false;
    // The session is given up either way; the caller logs the failure that led here.
    (void)network.AbortConnection(status, timeout, flag);
}

bool Exchange(EvDebug& log, const std::string& machine, CJxNetwork& network, jxsDatabuf_v2* sendBuffer,
              jxsDatabuf_v2* receiveBuffer, unsigned long requestCode, unsigned long replyCode,
              unsigned int waitMinutes) {
    bool flag = false;
    if (!network.IsConnected()) {
        jxsExecuteRemoteDllType library;
        std::strncpy(library.libraryName, "sLNSQLClient61", sizeof(library.libraryName) - 1);
        std::strncpy(library.entryName, "sLPSQLMSG", sizeof(library.entryName) - 1);
        CWzError err = network.Attach_RemoteDLL(machine, &library, nullptr, kAttachTimeout, flag);
        if (err.IsError()) {
            EV_ERROR(log, "Attach failed. Error:[%s]", err.AsString().c_str());
            return false;
        }
    }

    CWzError err = network.SendXDRMessage(requestCode, sendBuffer, 0, kSendTimeout, flag);
    if (err.IsError()) {
        AbortWithLastError(network, kSendTimeout);
        EV_ERROR(log, "Send failed. Error:[%s]", err.AsString().c_str());
        return false;
    }

    // Signed, so that a last slice longer than what is left ends the wait
    // instead of wrapping around.
    int64_t budgetSeconds = static_cast<int64_t>(waitMinutes) * 60;
    while (true) {
        jxsDataFormat format = JXS_DATA_FORMAT_NONE;
        bool timedOut = false;
        err = network.PeekDataFormat(format, kSliceTimeout, timedOut);
        if (err.IsError() && !timedOut) {
            EV_ERROR(log, "Error peeking into message. Error:[%s]", err.AsString().c_str());
            AbortWithLastError(network, kSliceTimeout);
            return false;
        }
        if (timedOut) {
            EV_DEBUG(log, 1, "Timed out but message is still processing");
            if (waitMinutes == 0) continue;
            budgetSeconds -= kSliceTimeout;
            if (budgetSeconds > 0) continue;
            EV_ERROR(log, "Waited for [%u] seconds before timing out", waitMinutes);
            AbortWithLastError(network, kSliceTimeout);
            return false;
        }

        err = network.ReceiveXDRMessage(&replyCode, receiveBuffer, nullptr, 0, kSliceTimeout, timedOut);
        if (err.IsSuccess()) {
            // The reply is in hand; a failed close does not undo it.
            (void)network.Disconnect(kSliceTimeout, flag);
            return true;
        }
        if (timedOut)
            EV_ERROR(log, "ReceiveXDRMessage timed out");
        else
            EV_ERROR(log, "Receive message failed. Error:[%s]", err.AsString().c_str());
        AbortWithLastError(network, kSliceTimeout);
        return false;
    }
}

}  // namespace

bool SendMessageToReplicaAndKeepAlive(int /*kind*/, const std::string& machine, CJxNetwork* network,
                                      jxsDatabuf_v2* sendBuffer, jxsDatabuf_v2* receiveBuffer,
                                      unsigned long requestCode, unsigned long replyCode, unsigned int waitMinutes) {
    EvDebug log;
    if (network == nullptr || sendBuffer == nullptr || receiveBuffer == nullptr) {
        EV_ERROR(log, "Invalid parameter passed.");
        return false;
    }
    try {
        return Exchange(log, machine, *network, sendBuffer, receiveBuffer, requestCode, replyCode, waitMinutes);
    } catch (...) {
        EV_DEBUG(log, 1, "Unexpected exception happened when remote machine communication [].");
        return false;
    }
}
