// MessageXmlReader: a SAX2 (Xerces-C) reader of message XML.
//
// The reader builds messages while it scans, so it can stop at the first
// element that breaks a limit. DOCTYPEs are refused outright: without a DTD
// there are no entities to expand and nothing external to load.
#include "Messages/MessageXmlReader.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "Messages/MessageCatalogue.h"
#include "Messages/MessageText.h"
#include "WzUtils/FXErrorUtil.h"

namespace messages {
namespace {

using xercesc::Attributes;
using xercesc::SAXParseException;

// UTF-16 from the parser to UTF-8. The parser hands over only well-formed
// XML characters, so a lone surrogate cannot occur; it would become U+FFFD.
std::string ToUtf8(const XMLCh* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xd800 && cp <= 0xdbff && i + 1 < length && text[i + 1] >= 0xdc00 && text[i + 1] <= 0xdfff) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        } else if (cp >= 0xd800 && cp <= 0xdfff) {
            cp = 0xfffd;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xc0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xe0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        }
    }
    return out;
}

std::string ToUtf8(const XMLCh* text) { return ToUtf8(text, xercesc::XMLString::stringLen(text)); }

// Strict decimal numbers: optional '-' (signed only), digits, nothing else.
bool ParseSigned(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) return false;
    for (size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    value = v;
    return true;
}

bool ParseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    value = v;
    return true;
}

bool ParseId(const std::string& text, int& id) {
    int64_t v = 0;
    if (!ParseSigned(text, v) || v < 0 || v > INT_MAX) return false;
    id = static_cast<int>(v);
    return true;
}

bool IsWhitespace(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Thrown by the handler to stop the scan at the first fault.
struct Failure {
    int code;
    std::string text;
};

[[noreturn]] void Fail(int code, std::string text) { throw Failure{code, std::move(text)}; }

class Handler : public xercesc::DefaultHandler {
public:
    explicit Handler(bool requireCatalogued) : m_requireCatalogued(requireCatalogued) {}

    std::unique_ptr<CNMessageBase> TakeRoot() { return std::move(m_root); }

    void startElement(const XMLCh*, const XMLCh*, const XMLCh* qname, const Attributes& attrs) override {
        if (++m_elements > CNMessageBase::kMaxElements) {
            Fail(kMsgLimitExceeded, "more than " + std::to_string(CNMessageBase::kMaxElements) + " elements");
        }
        const std::string name = ToUtf8(qname);
        Frame* top = m_stack.empty() ? nullptr : &m_stack.back();
        if (!top || top->kind == Kind::Obj || top->kind == Kind::Objs) {
            if (top && top->kind == Kind::Obj && top->child) Fail(kMsgBadField, "<obj> holds more than one message");
            StartMessage(name, attrs);
        } else if (top->kind == Kind::Message) {
            StartField(name, attrs);
        } else if ((top->kind == Kind::Strs || top->kind == Kind::Nums) && name == "v") {
            Frame f(Kind::Value);
            f.base64 = ReadEncoding(attrs, top->kind == Kind::Strs, {});
            m_stack.push_back(std::move(f));
        } else {
            Fail(kMsgBadField, "unexpected element <" + name + "> inside <" + KindName(top->kind) + ">");
        }
    }

    void endElement(const XMLCh*, const XMLCh*, const XMLCh*) override {
        Frame done = std::move(m_stack.back());
        m_stack.pop_back();
        Frame* parent = m_stack.empty() ? nullptr : &m_stack.back();
        switch (done.kind) {
            case Kind::Message:
                --m_messageDepth;
                if (!parent) {
                    m_root = std::move(done.message);
                } else if (parent->kind == Kind::Obj) {
                    parent->child = std::move(done.message);
                } else {
                    parent->objs.push_back(std::move(*done.message));
                }
                break;
            case Kind::Str:
                parent->message->setstring(done.id, done.id, DecodeText(done));
                break;
            case Kind::Int: {
                int64_t v = 0;
                if (!ParseSigned(done.text, v)) Fail(kMsgBadField, "field " + std::to_string(done.id) + ": bad integer \"" + Clip(done.text) + "\"");
                parent->message->setint64(done.id, done.id, v);
                break;
            }
            case Kind::Obj:
                if (!done.child) Fail(kMsgBadField, "field " + std::to_string(done.id) + ": <obj> without a message");
                parent->message->setObjectAccessor(done.id, done.id, std::move(*done.child));
                break;
            case Kind::Objs:
                parent->message->setlistobject(done.id, done.id, std::move(done.objs));
                break;
            case Kind::Strs:
                parent->message->setliststring(done.id, done.id, std::move(done.strs));
                break;
            case Kind::Nums:
                parent->message->setlistulong(done.id, done.id, done.nums);
                break;
            case Kind::Value:
                if (parent->kind == Kind::Strs) {
                    parent->strs.push_back(DecodeText(done));
                } else {
                    uint64_t v = 0;
                    if (!ParseUnsigned(done.text, v)) Fail(kMsgBadField, "bad list number \"" + Clip(done.text) + "\"");
                    parent->nums.push_back(v);
                }
                break;
        }
    }

    void characters(const XMLCh* chars, const XMLSize_t length) override {
        std::string text = ToUtf8(chars, length);
        Frame& top = m_stack.back();
        if (top.kind == Kind::Str || top.kind == Kind::Int || top.kind == Kind::Value) {
            top.text += text;
        } else if (!IsWhitespace(text)) {
            Fail(kMsgBadField, "text inside <" + KindName(top.kind) + ">");
        }
    }

    void startDTD(const XMLCh*, const XMLCh*, const XMLCh*) override { Fail(kMsgMalformed, "a DOCTYPE is not allowed"); }

    void warning(const SAXParseException&) override {}
    void error(const SAXParseException& e) override { Fail(kMsgMalformed, Describe(e)); }
    void fatalError(const SAXParseException& e) override { Fail(kMsgMalformed, Describe(e)); }

private:
    enum class Kind { Message, Str, Int, Obj, Objs, Strs, Nums, Value };

    struct Frame {
        explicit Frame(Kind k) : kind(k) {}
        Kind kind;
        int id = -1;
        bool base64 = false;
        std::unique_ptr<CNMessageBase> message;   // Message
        std::string text;                         // Str, Int, Value
        std::unique_ptr<CNMessageBase> child;     // Obj
        std::vector<CNMessageBase> objs;
        std::vector<std::string> strs;
        std::vector<uint64_t> nums;
    };

    static std::string KindName(Kind k) {
        switch (k) {
            case Kind::Message: return "message";
            case Kind::Str: return "str";
            case Kind::Int: return "int";
            case Kind::Obj: return "obj";
            case Kind::Objs: return "objs";
            case Kind::Strs: return "strs";
            case Kind::Nums: return "nums";
            case Kind::Value: return "v";
        }
        return "?";
    }

    static std::string Clip(const std::string& text) { return text.size() > 40 ? text.substr(0, 40) + "..." : text; }

    static std::string Describe(const SAXParseException& e) {
        return ToUtf8(e.getMessage()) + " at line " + std::to_string(e.getLineNumber()) + ", column " +
               std::to_string(e.getColumnNumber());
    }

    static std::string DecodeText(const Frame& f) {
        if (!f.base64) return f.text;
        std::string bytes;
        if (!Base64Decode(f.text, bytes)) Fail(kMsgBadField, "bad base64 text");
        return bytes;
    }

    // Reads the attributes of an element that may carry only `allowed` and,
    // where `encAllowed`, enc="base64". Returns whether enc was given.
    static bool ReadEncoding(const Attributes& attrs, bool encAllowed, std::initializer_list<const char*> allowed,
                             std::vector<std::string>* values = nullptr) {
        bool base64 = false;
        if (values) values->assign(allowed.size(), std::string());
        std::vector<bool> seen(allowed.size(), false);
        for (XMLSize_t i = 0; i < attrs.getLength(); ++i) {
            const std::string name = ToUtf8(attrs.getQName(i));
            const std::string value = ToUtf8(attrs.getValue(i));
            if (encAllowed && name == "enc") {
                if (value != "base64") Fail(kMsgBadField, "unknown encoding \"" + Clip(value) + "\"");
                base64 = true;
                continue;
            }
            size_t k = 0;
            for (const char* a : allowed) {
                if (name == a) break;
                ++k;
            }
            if (k == allowed.size()) Fail(kMsgBadField, "unexpected attribute \"" + Clip(name) + "\"");
            seen[k] = true;
            if (values) (*values)[k] = value;
        }
        for (size_t k = 0; k < allowed.size(); ++k) {
            if (!seen[k]) Fail(kMsgBadField, "missing attribute \"" + std::string(allowed.begin()[k]) + "\"");
        }
        return base64;
    }

    void StartMessage(const std::string& name, const Attributes& attrs) {
        if (++m_messageDepth > CNMessageBase::kMaxNestingDepth) {
            Fail(kMsgLimitExceeded, "messages nested deeper than " + std::to_string(CNMessageBase::kMaxNestingDepth));
        }
        if (name != kUncataloguedElement && !FindByElementName(name)) {
            Fail(kMsgUnknownClass, "unknown message class <" + Clip(name) + ">");
        }
        std::vector<std::string> values;
        ReadEncoding(attrs, false, {"module", "message"}, &values);
        int module = 0, message = 0;
        if (!ParseId(values[0], module) || !ParseId(values[1], message)) {
            Fail(kMsgBadField, "<" + name + ">: bad module or message number");
        }
        if (name != ElementNameOf(module, message)) {
            Fail(kMsgUnknownClass, "<" + name + "> does not name class (" + values[0] + ", " + values[1] + ")");
        }
        if (m_stack.empty() && m_requireCatalogued && !FindByPair(module, message)) {
            Fail(kMsgUnknownClass, "class (" + values[0] + ", " + values[1] + ") is not a known message class");
        }
        Frame f(Kind::Message);
        f.message = std::make_unique<CNMessageBase>(module, message);
        m_stack.push_back(std::move(f));
    }

    void StartField(const std::string& name, const Attributes& attrs) {
        static const std::pair<const char*, Kind> kFields[] = {
            {"str", Kind::Str}, {"int", Kind::Int}, {"obj", Kind::Obj}, {"objs", Kind::Objs},
            {"strs", Kind::Strs}, {"nums", Kind::Nums},
        };
        const auto* match = std::find_if(std::begin(kFields), std::end(kFields),
                                         [&](const auto& f) { return name == f.first; });
        if (match == std::end(kFields)) Fail(kMsgBadField, "unknown field element <" + Clip(name) + ">");
        Frame f(match->second);
        std::vector<std::string> values;
        f.base64 = ReadEncoding(attrs, f.kind == Kind::Str, {"id"}, &values);
        if (!ParseId(values[0], f.id)) Fail(kMsgBadField, "<" + name + ">: bad field id \"" + Clip(values[0]) + "\"");
        // Sibling fields close before the next opens, so an earlier one is stored.
        if (m_stack.back().message->isSet(f.id, f.id)) Fail(kMsgBadField, "field " + values[0] + " appears twice");
        m_stack.push_back(std::move(f));
    }

    bool m_requireCatalogued;
    std::vector<Frame> m_stack;
    std::unique_ptr<CNMessageBase> m_root;
    size_t m_elements = 0;
    int m_messageDepth = 0;
};

void InitializeXerces() {
    static std::once_flag once;
    std::call_once(once, [] { xercesc::XMLPlatformUtils::Initialize(); });
}

}  // namespace

CWzError DecodeError(const FXCodeLocation& where, int code, const std::string& text) {
    return FXErrorUtil::ErrorJXResult(where, code, "Message XML refused: %s", text.c_str());
}

int ParseMessageXml(const std::string& xml, bool requireCatalogued, std::unique_ptr<CNMessageBase>& out,
                    CWzError* error) {
    auto refuse = [&](int code, const std::string& text) {
        if (error) *error = DecodeError(FXCODELOC, code, text);
        return code;
    };
    if (xml.empty()) return refuse(kMsgEmptyText, "the text is empty");
    if (xml.size() > CNMessageBase::kMaxXmlBytes) {
        return refuse(kMsgTooLarge, "the text has " + std::to_string(xml.size()) + " bytes, more than " +
                                        std::to_string(CNMessageBase::kMaxXmlBytes));
    }
    InitializeXerces();
    try {
        std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
        reader->setFeature(xercesc::XMLUni::fgSAX2CoreNameSpaces, false);
        reader->setFeature(xercesc::XMLUni::fgSAX2CoreValidation, false);
        reader->setFeature(xercesc::XMLUni::fgXercesSchema, false);
        reader->setFeature(xercesc::XMLUni::fgXercesLoadExternalDTD, false);
        reader->setFeature(xercesc::XMLUni::fgXercesDisableDefaultEntityResolution, true);
        Handler handler(requireCatalogued);
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        reader->setLexicalHandler(&handler);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(), "message");
        reader->parse(source);
        out = handler.TakeRoot();
        if (!out) return refuse(kMsgMalformed, "no message element");
        return kMsgOk;
    } catch (const Failure& f) {
        return refuse(f.code, f.text);
    } catch (const xercesc::SAXException& e) {
        return refuse(kMsgMalformed, ToUtf8(e.getMessage()));
    } catch (const xercesc::XMLException& e) {
        return refuse(kMsgMalformed, ToUtf8(e.getMessage()));
    } catch (const xercesc::OutOfMemoryException&) {
        return refuse(kMsgLimitExceeded, "out of memory while parsing");
    }
}

}  // namespace messages
