// SMMetaDataInfo: one metadata item that a snapshot set carries with its
// mount: what it is (type), what it refers to (reference type and id, for
// example a volume id) and its data. Type 38 holds an attach request whose
// databases are detached when the mount is released.
#pragma once

#include <cstdint>
#include <string>

class SMMetaDataInfo {
public:
    int getMetaDataType() const { return m_type; }
    void setMetaDataType(int type) { m_type = type; }
    int getRefType() const { return m_refType; }
    void setRefType(int type) { m_refType = type; }
    uint64_t getRefId() const { return m_refId; }
    void setRefId(uint64_t id) { m_refId = id; }
    const std::string& getMetaData() const { return m_data; }
    void setMetaData(const std::string& data) { m_data = data; }

    // Whether two items describe the same thing (type and reference).
    bool sameKey(const SMMetaDataInfo& other) const {
        return m_type == other.m_type && m_refType == other.m_refType && m_refId == other.m_refId;
    }

private:
    int m_type = 0;
    int m_refType = 0;
    uint64_t m_refId = 0;
    std::string m_data;
};

// Metadata type of an attach request to undo when a mount is released.
constexpr int kSMMetaDataAttachRequest = 38;
