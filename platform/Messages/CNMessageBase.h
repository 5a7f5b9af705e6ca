// CNMessageBase: an XML message object of the message layer.
//
// A message is identified by its class's (module, message) pair and holds
// typed fields. A field is addressed by (field id, member index): the field
// id identifies the field within its class, the member index is the
// position the class gives the field and is accepted for the callers'
// notation only (two calls with the same field id reach the same field).
// A field holds exactly one of: a string, a 64-bit integer, an embedded
// message, a list of messages, a list of strings or a list of unsigned
// 64-bit integers. Setting a field replaces whatever it held.
//
// Getters of an unset field, or of a field of another type, return the empty
// value (empty string, 0, nullptr, empty list); isSet tells them apart.
//
// Text form (written by serialize, read by unserialize and XMLDecoder):
//   <SQLPmn_ErrorMessage module="34" message="47">
//     <str id="1">text</str>            <int id="5">-7</int>
//     <obj id="2"><JxEntities_GenericEntity module="18" message="46">...</...></obj>
//     <objs id="6">messages...</objs>   <strs id="8"><v>a</v><v>b</v></strs>
//     <nums id="1"><v>17</v></nums>
//   </SQLPmn_ErrorMessage>
// Text is escaped; a string that XML cannot carry as text (control
// characters, bytes that are not UTF-8) is written with enc="base64", so
// every byte string survives a round trip.
//
// Decoding refuses, with an error code and a CWzError that says why: empty or
// over-long text (kMaxXmlBytes), malformed XML, any DOCTYPE (no DTD, no
// entities beyond the predefined five), unknown element or class names, a
// root of another class, bad numbers, repeated field ids, nesting deeper than
// kMaxNestingDepth messages and more than kMaxElements elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

// Result codes of serialize and unserialize (0 = success).
enum CNMessageResult : int {
    kMsgOk = 0,
    kMsgEmptyText = 1,        // nothing to decode
    kMsgTooLarge = 2,         // text longer than kMaxXmlBytes
    kMsgMalformed = 3,        // not well-formed XML, or a DOCTYPE
    kMsgUnknownClass = 4,     // element name not a known message class
    kMsgClassMismatch = 5,    // root is another class than the object's
    kMsgBadField = 6,         // unknown field element, bad id, number or encoding
    kMsgLimitExceeded = 7,    // nesting depth or element count over the limit
};

// A field's address as a message class names it: (field id, member index).
// Message classes publish their fields as constants of this type.
struct CNFieldId {
    int id;
    int member;
};

class CNMessageBase {
public:
    static constexpr size_t kMaxXmlBytes = 16u << 20;
    static constexpr int kMaxNestingDepth = 32;
    static constexpr size_t kMaxElements = 1u << 20;

    CNMessageBase(int module, int message);
    CNMessageBase(const CNMessageBase& other);              // deep copy
    CNMessageBase& operator=(const CNMessageBase& other);   // deep copy, pair included
    CNMessageBase(CNMessageBase&& other) noexcept;
    CNMessageBase& operator=(CNMessageBase&& other) noexcept;
    virtual ~CNMessageBase();

    int getModule() const { return m_module; }
    int getMessage() const { return m_message; }
    // The class's tag id (see messages::TagIdOf).
    unsigned long getTagID() const;
    // The XML element name of the class ("SQLPmn_ErrorMessage").
    const char* getElementName() const;

    bool isSet(int fieldId, int memberIndex) const;
    // Number of fields set.
    size_t fieldCount() const;

    void setstring(int fieldId, int memberIndex, const std::string& value);
    std::string getstring(int fieldId, int memberIndex) const;

    void setint64(int fieldId, int memberIndex, int64_t value);
    int64_t getint64(int fieldId, int memberIndex) const;

    // Embedded message: stored as a copy; the accessor points into this
    // object (nullptr when unset) and stays valid until the field changes.
    void setObjectAccessor(int fieldId, int memberIndex, const CNMessageBase& value);
    void setObjectAccessor(int fieldId, int memberIndex, CNMessageBase&& value);
    CNMessageBase* getObjectAccessor(int fieldId, int memberIndex);
    const CNMessageBase* getObjectAccessor(int fieldId, int memberIndex) const;

    void setlistobject(int fieldId, int memberIndex, const std::vector<CNMessageBase>& items);
    void setlistobject(int fieldId, int memberIndex, std::vector<CNMessageBase>&& items);
    void addlistobject(int fieldId, int memberIndex, const CNMessageBase& item);
    std::vector<CNMessageBase> getlistobject(int fieldId, int memberIndex) const;

    void setliststring(int fieldId, int memberIndex, const std::vector<std::string>& items);
    void setliststring(int fieldId, int memberIndex, std::vector<std::string>&& items);
    void addliststring(int fieldId, int memberIndex, const std::string& item);
    std::vector<std::string> getliststring(int fieldId, int memberIndex) const;

    void setlistulong(int fieldId, int memberIndex, const std::vector<uint64_t>& items);
    std::vector<uint64_t> getlistulong(int fieldId, int memberIndex) const;

    // Typed lists of a message class T (derived from CNMessageBase, no members
    // of its own). getlistobject fails (false, `out` unchanged) when an
    // element is of another class.
    template <class T>
    void setlistobject(int fieldId, int memberIndex, const std::vector<T>& items) {
        setlistobject(fieldId, memberIndex, std::vector<CNMessageBase>(items.begin(), items.end()));
    }
    template <class T>
    bool getlistobject(int fieldId, int memberIndex, std::vector<T>& out) const {
        std::vector<T> typed;
        for (const CNMessageBase& item : getlistobject(fieldId, memberIndex)) {
            typed.emplace_back();
            if (typed.back().copyFrom(item) != kMsgOk) return false;
        }
        out = std::move(typed);
        return true;
    }

    // The same accessors by a class's field constant.
    bool isSet(CNFieldId f) const { return isSet(f.id, f.member); }
    void setstring(CNFieldId f, const std::string& v) { setstring(f.id, f.member, v); }
    std::string getstring(CNFieldId f) const { return getstring(f.id, f.member); }
    void setint64(CNFieldId f, int64_t v) { setint64(f.id, f.member, v); }
    int64_t getint64(CNFieldId f) const { return getint64(f.id, f.member); }
    void setObjectAccessor(CNFieldId f, const CNMessageBase& v) { setObjectAccessor(f.id, f.member, v); }
    CNMessageBase* getObjectAccessor(CNFieldId f) { return getObjectAccessor(f.id, f.member); }
    const CNMessageBase* getObjectAccessor(CNFieldId f) const { return getObjectAccessor(f.id, f.member); }
    void addlistobject(CNFieldId f, const CNMessageBase& v) { addlistobject(f.id, f.member, v); }
    std::vector<CNMessageBase> getlistobject(CNFieldId f) const { return getlistobject(f.id, f.member); }
    void setliststring(CNFieldId f, const std::vector<std::string>& v) { setliststring(f.id, f.member, v); }
    void addliststring(CNFieldId f, const std::string& v) { addliststring(f.id, f.member, v); }
    std::vector<std::string> getliststring(CNFieldId f) const { return getliststring(f.id, f.member); }
    void setlistulong(CNFieldId f, const std::vector<uint64_t>& v) { setlistulong(f.id, f.member, v); }
    std::vector<uint64_t> getlistulong(CNFieldId f) const { return getlistulong(f.id, f.member); }
    template <class T>
    void setlistobject(CNFieldId f, const std::vector<T>& items) {
        setlistobject(f.id, f.member, items);
    }
    template <class T>
    bool getlistobject(CNFieldId f, std::vector<T>& out) const {
        return getlistobject(f.id, f.member, out);
    }
    // Typed embedded message: false (and `out` unchanged) when unset or of
    // another class.
    template <class T>
    bool getObject(CNFieldId f, T& out) const {
        const CNMessageBase* m = getObjectAccessor(f);
        return m && out.copyFrom(*m) == kMsgOk;
    }

    // Copies the fields of a message of the same class; kMsgClassMismatch
    // (and nothing copied) when the pairs differ. Turns a decoded message into
    // its typed class.
    int copyFrom(const CNMessageBase& other);

    // Writes the XML text into `out` (replacing it); `pretty` adds line breaks
    // and indentation. Returns kMsgOk, or kMsgLimitExceeded / kMsgTooLarge
    // (and `out` empty) for a message that decoding would refuse.
    int serialize(std::string& out, bool pretty = false) const;

    // Replaces this object's fields by those of `xml`, whose root must be this
    // object's class. On failure returns a CNMessageResult code, fills `error`
    // when given, and leaves the object unchanged.
    int unserialize(const std::string& xml, CWzError* error = nullptr);

    // Field-by-field equality of pair and fields (member indices ignored).
    bool operator==(const CNMessageBase& other) const;

private:
    struct Fields;
    int writeXml(std::string& out, bool pretty, int depth, int level) const;

    int m_module;
    int m_message;
    std::unique_ptr<Fields> m_fields;
};
