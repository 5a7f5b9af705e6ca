// JXJxCell: the backup domain ("jxcell/<id>" of the model).
#pragma once

#include <cstdint>

class JXJxCell {
public:
    explicit JXJxCell(uint64_t jxCellId) : m_id(jxCellId) {}

    // The domain's number (property "number"); 0 with the number written, or
    // a code of AppModel.h with it unchanged.
    int getJxCellNumber(uint64_t& number) const;

private:
    uint64_t m_id;
};
