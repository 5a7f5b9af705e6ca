// Memory of wire records built in place: texts and arrays come from malloc
// and calloc, the allocator a codec's decode uses, so the codec's free pass
// (jxsFreeRecord) releases a record built here exactly as it releases a
// decoded one. A builder fills the record, sends it, and frees it under its
// code; nobody walks the record by hand to free it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace wz {

// A NUL-terminated copy of `text`; throws std::bad_alloc when memory is out.
inline char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// `count` zero-filled elements (null for none); throws std::bad_alloc when
// memory is out. Meant for the plain records of the wire, whose zeroed state
// is their initial state.
template <typename T>
T* NewRecordArray(size_t count) {
    if (count == 0) return nullptr;
    void* items = std::calloc(count, sizeof(T));
    if (items == nullptr) throw std::bad_alloc();
    return static_cast<T*>(items);
}

}  // namespace wz
