// Test helper: builds a record over memory that held garbage, so a member
// left without an initial value shows up as non-zero.
#pragma once

#include <cstring>
#include <new>

namespace jxtest {

template <class T, class Check>
void OnDirtyMemory(Check check) {
    alignas(T) unsigned char storage[sizeof(T)];
    std::memset(storage, 0xab, sizeof storage);
    T* record = new (storage) T;
    check(*record);
    record->~T();
}

}  // namespace jxtest
