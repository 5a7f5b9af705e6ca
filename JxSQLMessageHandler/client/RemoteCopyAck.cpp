// Sending a remote-copy acknowledgement.
#include "JxSQLMessageHandler/client/RemoteCopyAck.h"

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSession/CJxNetwork.h"

CWzError SendRemoteCopyAck(CJxNetwork& network, eRemoteCopyStatus status, const std::string& text) {
    SQLPmn::RemoteCopyFileAck ack;
    ack.setstring(SQLPmn::RemoteCopyFileAck::kText, text);
    ack.setint64(SQLPmn::RemoteCopyFileAck::kStatus, status);
    bool timedOut = false;
    return network.SendXMLMessage(ack, 0, kRemoteCopyTimeoutSeconds, timedOut);
}
