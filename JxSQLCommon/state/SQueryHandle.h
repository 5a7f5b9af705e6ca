// SQueryHandle: owns the cursor of one SELECT run by CSQLiteBase::ExecuteQuery.
#pragma once

#include <memory>

namespace FX {
class CSQLite3Query;
}

class SQueryHandle {
public:
    SQueryHandle() = default;
    virtual ~SQueryHandle() = default;

    std::shared_ptr<FX::CSQLite3Query> m_query;  // empty until set
};
