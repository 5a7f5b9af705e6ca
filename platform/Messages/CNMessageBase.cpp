// CNMessageBase: the field store, copies, and the XML writer.
#include "Messages/CNMessageBase.h"

#include <map>
#include <utility>
#include <variant>

#include "Messages/MessageCatalogue.h"
#include "Messages/MessageText.h"
#include "Messages/MessageXmlReader.h"

namespace {

// An embedded message, copied deeply with its holder.
struct ObjectBox {
    std::unique_ptr<CNMessageBase> message;

    explicit ObjectBox(const CNMessageBase& m) : message(std::make_unique<CNMessageBase>(m)) {}
    explicit ObjectBox(CNMessageBase&& m) : message(std::make_unique<CNMessageBase>(std::move(m))) {}
    ObjectBox(const ObjectBox& other) : message(std::make_unique<CNMessageBase>(*other.message)) {}
    ObjectBox& operator=(const ObjectBox& other) {
        message = std::make_unique<CNMessageBase>(*other.message);
        return *this;
    }
    ObjectBox(ObjectBox&&) noexcept = default;
    ObjectBox& operator=(ObjectBox&&) noexcept = default;
    bool operator==(const ObjectBox& other) const { return *message == *other.message; }
};

using FieldValue = std::variant<std::string, int64_t, ObjectBox, std::vector<CNMessageBase>,
                                std::vector<std::string>, std::vector<uint64_t>>;

void Indent(std::string& out, bool pretty, int depth) {
    if (pretty) out.append(static_cast<size_t>(depth) * 2, ' ');
}

void EndLine(std::string& out, bool pretty) {
    if (pretty) out += '\n';
}

// <tag id="N"[ enc="base64"]>text</tag> or <v>text</v> when id < 0.
void WriteText(const char* tag, int id, const std::string& text, std::string& out) {
    out += '<';
    out += tag;
    if (id >= 0) out += " id=\"" + std::to_string(id) + "\"";
    if (messages::IsXmlSafeText(text)) {
        out += '>';
        messages::AppendEscaped(text, out);
    } else {
        out += " enc=\"base64\">";
        out += messages::Base64Encode(text);
    }
    out += "</";
    out += tag;
    out += '>';
}

}  // namespace

struct CNMessageBase::Fields {
    std::map<int, FieldValue> byId;
};

CNMessageBase::CNMessageBase(int module, int message)
    : m_module(module), m_message(message), m_fields(std::make_unique<Fields>()) {}

CNMessageBase::CNMessageBase(const CNMessageBase& other)
    : m_module(other.m_module), m_message(other.m_message), m_fields(std::make_unique<Fields>(*other.m_fields)) {}

CNMessageBase& CNMessageBase::operator=(const CNMessageBase& other) {
    if (this != &other) {
        auto copy = std::make_unique<Fields>(*other.m_fields);
        m_module = other.m_module;
        m_message = other.m_message;
        m_fields = std::move(copy);
    }
    return *this;
}

// A moved-from message keeps its pair and has no fields.
CNMessageBase::CNMessageBase(CNMessageBase&& other) noexcept
    : m_module(other.m_module), m_message(other.m_message), m_fields(std::move(other.m_fields)) {
    other.m_fields = std::make_unique<Fields>();
}

CNMessageBase& CNMessageBase::operator=(CNMessageBase&& other) noexcept {
    if (this != &other) {
        m_module = other.m_module;
        m_message = other.m_message;
        std::swap(m_fields, other.m_fields);
        other.m_fields->byId.clear();
    }
    return *this;
}

CNMessageBase::~CNMessageBase() = default;

unsigned long CNMessageBase::getTagID() const { return messages::TagIdOf(m_module, m_message); }

const char* CNMessageBase::getElementName() const { return messages::ElementNameOf(m_module, m_message); }

bool CNMessageBase::isSet(int fieldId, int /*memberIndex*/) const { return m_fields->byId.count(fieldId) != 0; }

size_t CNMessageBase::fieldCount() const { return m_fields->byId.size(); }

namespace {

template <class T>
const T* Get(const std::map<int, FieldValue>& fields, int fieldId) {
    auto it = fields.find(fieldId);
    return it == fields.end() ? nullptr : std::get_if<T>(&it->second);
}

}  // namespace

void CNMessageBase::setstring(int fieldId, int, const std::string& value) { m_fields->byId.insert_or_assign(fieldId, value); }

std::string CNMessageBase::getstring(int fieldId, int) const {
    const auto* v = Get<std::string>(m_fields->byId, fieldId);
    return v ? *v : std::string();
}

void CNMessageBase::setint64(int fieldId, int, int64_t value) { m_fields->byId.insert_or_assign(fieldId, value); }

int64_t CNMessageBase::getint64(int fieldId, int) const {
    const auto* v = Get<int64_t>(m_fields->byId, fieldId);
    return v ? *v : 0;
}

void CNMessageBase::setObjectAccessor(int fieldId, int, const CNMessageBase& value) {
    m_fields->byId.insert_or_assign(fieldId, ObjectBox(value));
}

void CNMessageBase::setObjectAccessor(int fieldId, int, CNMessageBase&& value) {
    m_fields->byId.insert_or_assign(fieldId, ObjectBox(std::move(value)));
}

CNMessageBase* CNMessageBase::getObjectAccessor(int fieldId, int) {
    auto it = m_fields->byId.find(fieldId);
    if (it == m_fields->byId.end()) return nullptr;
    auto* box = std::get_if<ObjectBox>(&it->second);
    return box ? box->message.get() : nullptr;
}

const CNMessageBase* CNMessageBase::getObjectAccessor(int fieldId, int) const {
    const auto* box = Get<ObjectBox>(m_fields->byId, fieldId);
    return box ? box->message.get() : nullptr;
}

void CNMessageBase::setlistobject(int fieldId, int, const std::vector<CNMessageBase>& items) {
    m_fields->byId.insert_or_assign(fieldId, items);
}

void CNMessageBase::setlistobject(int fieldId, int, std::vector<CNMessageBase>&& items) {
    m_fields->byId.insert_or_assign(fieldId, std::move(items));
}

void CNMessageBase::addlistobject(int fieldId, int, const CNMessageBase& item) {
    FieldValue& slot = m_fields->byId[fieldId];
    if (!std::holds_alternative<std::vector<CNMessageBase>>(slot)) slot = std::vector<CNMessageBase>();
    std::get<std::vector<CNMessageBase>>(slot).push_back(item);
}

std::vector<CNMessageBase> CNMessageBase::getlistobject(int fieldId, int) const {
    const auto* v = Get<std::vector<CNMessageBase>>(m_fields->byId, fieldId);
    return v ? *v : std::vector<CNMessageBase>();
}

void CNMessageBase::setliststring(int fieldId, int, const std::vector<std::string>& items) {
    m_fields->byId.insert_or_assign(fieldId, items);
}

void CNMessageBase::setliststring(int fieldId, int, std::vector<std::string>&& items) {
    m_fields->byId.insert_or_assign(fieldId, std::move(items));
}

void CNMessageBase::addliststring(int fieldId, int, const std::string& item) {
    FieldValue& slot = m_fields->byId[fieldId];
    if (!std::holds_alternative<std::vector<std::string>>(slot)) slot = std::vector<std::string>();
    std::get<std::vector<std::string>>(slot).push_back(item);
}

std::vector<std::string> CNMessageBase::getliststring(int fieldId, int) const {
    const auto* v = Get<std::vector<std::string>>(m_fields->byId, fieldId);
    return v ? *v : std::vector<std::string>();
}

void CNMessageBase::setlistulong(int fieldId, int, const std::vector<uint64_t>& items) {
    m_fields->byId.insert_or_assign(fieldId, items);
}

std::vector<uint64_t> CNMessageBase::getlistulong(int fieldId, int) const {
    const auto* v = Get<std::vector<uint64_t>>(m_fields->byId, fieldId);
    return v ? *v : std::vector<uint64_t>();
}

int CNMessageBase::copyFrom(const CNMessageBase& other) {
    if (other.m_module != m_module || other.m_message != m_message) return kMsgClassMismatch;
    if (this != &other) *m_fields = *other.m_fields;
    return kMsgOk;
}

bool CNMessageBase::operator==(const CNMessageBase& other) const {
    return m_module == other.m_module && m_message == other.m_message && m_fields->byId == other.m_fields->byId;
}

int CNMessageBase::serialize(std::string& out, bool pretty) const {
    std::string text;
    int rc = writeXml(text, pretty, 0, 1);
    if (rc == kMsgOk && text.size() > kMaxXmlBytes) rc = kMsgTooLarge;
    out = rc == kMsgOk ? std::move(text) : std::string();
    return rc;
}

// `depth` is the indentation, `level` the nesting of messages (1 = root).
int CNMessageBase::writeXml(std::string& out, bool pretty, int depth, int level) const {
    if (level > kMaxNestingDepth) return kMsgLimitExceeded;
    const char* name = getElementName();
    Indent(out, pretty, depth);
    out += "<";
    out += name;
    out += " module=\"" + std::to_string(m_module) + "\" message=\"" + std::to_string(m_message) + "\">";
    EndLine(out, pretty);
    for (const auto& [id, value] : m_fields->byId) {
        const std::string idAttr = " id=\"" + std::to_string(id) + "\"";
        Indent(out, pretty, depth + 1);
        if (const auto* s = std::get_if<std::string>(&value)) {
            WriteText("str", id, *s, out);
        } else if (const auto* n = std::get_if<int64_t>(&value)) {
            out += "<int" + idAttr + ">" + std::to_string(*n) + "</int>";
        } else if (const auto* box = std::get_if<ObjectBox>(&value)) {
            out += "<obj" + idAttr + ">";
            EndLine(out, pretty);
            if (int rc = box->message->writeXml(out, pretty, depth + 2, level + 1); rc != kMsgOk) return rc;
            Indent(out, pretty, depth + 1);
            out += "</obj>";
        } else if (const auto* list = std::get_if<std::vector<CNMessageBase>>(&value)) {
            out += "<objs" + idAttr + ">";
            EndLine(out, pretty);
            for (const CNMessageBase& item : *list) {
                if (int rc = item.writeXml(out, pretty, depth + 2, level + 1); rc != kMsgOk) return rc;
            }
            Indent(out, pretty, depth + 1);
            out += "</objs>";
        } else if (const auto* strs = std::get_if<std::vector<std::string>>(&value)) {
            out += "<strs" + idAttr + ">";
            for (const std::string& s : *strs) WriteText("v", -1, s, out);
            out += "</strs>";
        } else {
            out += "<nums" + idAttr + ">";
            for (uint64_t n : std::get<std::vector<uint64_t>>(value)) out += "<v>" + std::to_string(n) + "</v>";
            out += "</nums>";
        }
        EndLine(out, pretty);
        if (out.size() > kMaxXmlBytes) return kMsgTooLarge;
    }
    Indent(out, pretty, depth);
    out += "</";
    out += name;
    out += ">";
    EndLine(out, pretty);
    return kMsgOk;
}

int CNMessageBase::unserialize(const std::string& xml, CWzError* error) {
    std::unique_ptr<CNMessageBase> decoded;
    int rc = messages::ParseMessageXml(xml, /*requireCatalogued=*/false, decoded, error);
    if (rc != kMsgOk) return rc;
    if (decoded->m_module != m_module || decoded->m_message != m_message) {
        if (error) {
            *error = messages::DecodeError(FXCODELOC, kMsgClassMismatch,
                                           "the text holds a message of class (" +
                                               std::to_string(decoded->m_module) + ", " +
                                               std::to_string(decoded->m_message) + "), not (" +
                                               std::to_string(m_module) + ", " + std::to_string(m_message) + ")");
        }
        return kMsgClassMismatch;
    }
    std::swap(m_fields, decoded->m_fields);
    return kMsgOk;
}
