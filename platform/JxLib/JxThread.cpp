// JxThread over std::thread.
#include "JxLib/JxThread.h"

#include <cerrno>
#include <system_error>

#include "WzUtils/FXErrorUtil.h"

JxThread::~JxThread() { Join(); }

CWzError JxThread::Start(Entry entry, void* argument) {
    if (entry == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "No thread entry given.");
    if (m_thread.joinable()) return FXErrorUtil::ErrorErrNo(FXCODELOC, EBUSY, "The thread is already running.");
    try {
        m_thread = std::thread([entry, argument] { entry(argument); });
    } catch (const std::system_error& e) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, e.code().value(), "Cannot start a thread: %s", e.what());
    }
    return CWzError::Success();
}

void JxThread::Join() {
    if (m_thread.joinable()) m_thread.join();
}
