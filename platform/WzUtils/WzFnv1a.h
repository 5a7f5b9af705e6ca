// 64-bit FNV-1a: a small, stable hash for names that must map to the same
// value in every process and every build (file names, identifiers).
#pragma once

#include <cstdint>
#include <string>

namespace wz {

constexpr uint64_t kFnv1aBasis = 14695981039346656037ull;

// The hash of `text` from the offset basis `hash` (another basis gives an
// independent second hash of the same text).
inline uint64_t Fnv1a(const std::string& text, uint64_t hash = kFnv1aBasis) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace wz
