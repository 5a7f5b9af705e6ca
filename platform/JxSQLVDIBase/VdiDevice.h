// VdiDevice: one virtual device, the block queue between an engine's
// statement and one stream of the data pipeline.
//
// A device owns a fixed number of buffers of one block size, so the memory of
// a transfer is bounded by streams x buffers x block size; the buffers of a
// device are one allocation, in huge pages when it is large enough, because
// copies between them and the page cache then cost a fraction of what they
// cost through small pages (fewer address-translation misses, which are
// dear in a virtual machine). The producer takes
// an empty buffer (Acquire), fills it and queues it (Put); the consumer takes
// the next full buffer (Get) and gives it back (Release). Close marks the end
// of the stream; Abort ends it for both sides at once with a reason, which
// the other side reads back. Waits are in platform milliseconds.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct VdiBlock {
    // Points into the device's buffer memory, which it keeps alive.
    std::shared_ptr<char[]> data;
    size_t size = 0;      // bytes in use
    size_t capacity = 0;  // bytes allocated
};

enum class VdiWait { Ok, End, TimedOut, Aborted };

class VdiDevice {
public:
    VdiDevice(size_t buffers, size_t blockSize);
    VdiDevice(const VdiDevice&) = delete;
    VdiDevice& operator=(const VdiDevice&) = delete;

    size_t BlockSize() const { return m_blockSize; }

    // Producer side.
    VdiWait Acquire(VdiBlock& empty, int64_t timeoutMs);
    VdiWait Put(VdiBlock&& full);
    void Close();

    // Consumer side. End once the producer closed and every block was read.
    VdiWait Get(VdiBlock& full, int64_t timeoutMs);
    void Release(VdiBlock&& used);

    // Producer side, after Close: waits until the consumer has given back
    // every block; Aborted when the stream was aborted.
    VdiWait WaitDrained(int64_t timeoutMs);

    // Either side: ends the stream; the first reason stands.
    void Abort(const std::string& reason);
    bool IsAborted() const;
    std::string AbortReason() const;

private:
    const size_t m_blockSize;
    size_t m_buffers = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<VdiBlock> m_free;
    std::deque<VdiBlock> m_full;
    bool m_closed = false;
    bool m_aborted = false;
    std::string m_reason;
};
