// Requesting end of a session.
#include "tools/requester/JxsRequester.h"

#include <cstring>

CWzError JxsRequester::Attach(const std::string& target, const std::string& library, const std::string& entry,
                              int timeout) {
    jxsExecuteRemoteDllType descriptor;
    std::strncpy(descriptor.libraryName, library.c_str(), sizeof descriptor.libraryName - 1);
    std::strncpy(descriptor.entryName, entry.c_str(), sizeof descriptor.entryName - 1);
    bool flag = false;
    return m_session.Attach_RemoteDLL(target, &descriptor, "requester", timeout, flag);
}

CWzError JxsRequester::Send(unsigned long code, jxsDatabuf_v2* request, int timeout) {
    bool flag = false;
    jxsDatabuf_v2 empty;
    return m_session.SendXDRMessage(code, request != nullptr ? request : &empty, 0, timeout, flag);
}

CWzError JxsRequester::Receive(unsigned long& code, jxsDatabuf_v2* reply, int timeout, bool* timedOut) {
    bool flag = false;
    CWzError e = m_session.ReceiveXDRMessage(&code, reply, nullptr, 0, timeout, flag);
    if (timedOut != nullptr) *timedOut = flag;
    return e;
}

CWzError JxsRequester::Disconnect(int timeout) {
    bool flag = false;
    return m_session.Disconnect(timeout, flag);
}
