// The decoder: any catalogued class, and a clear refusal of everything else.
#include "Messages/XMLDecoder.h"

#include <gtest/gtest.h>

#include <set>

#include "Messages/MessageCatalogue.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

namespace {

// Decoding failures are logged: each test keeps its log under its own root.
class XMLDecoderTest : public jxtest::RootedTest {};

int Refusal(const std::string& text) {
    CWzError err;
    auto m = XMLDecoder::decode(text, &err);
    EXPECT_EQ(nullptr, m) << text;
    EXPECT_TRUE(err.IsError()) << text;
    EXPECT_FALSE(err.GetMessage().empty());
    return FXErrorUtil::GetJXResult(err);
}

const std::string kOpen = "<SQLPmn_ErrorMessage module=\"34\" message=\"47\">";
const std::string kClose = "</SQLPmn_ErrorMessage>";

TEST_F(XMLDecoderTest, DecodesEveryCataloguedClass) {
    for (const messages::CatalogueEntry& e : messages::AllEntries()) {
        CNMessageBase m(e.module, e.message);
        m.setstring(1, 1, e.elementName);
        std::string text;
        ASSERT_EQ(kMsgOk, m.serialize(text));
        XMLDecoder decoder;
        ASSERT_EQ(0, decoder.initialize());
        CNMessageBase* decoded = decoder.unSerialize(text);
        ASSERT_NE(nullptr, decoded) << decoder.lastError().AsString();
        EXPECT_EQ(m, *decoded);
        EXPECT_EQ(m.getTagID(), decoded->getTagID());
    }
}

TEST_F(XMLDecoderTest, TagIdsAreDistinctAndCarryTheModule) {
    std::set<uint32_t> tags;
    std::set<std::string> names;
    for (const messages::CatalogueEntry& e : messages::AllEntries()) {
        uint32_t tag = messages::TagIdOf(e.module, e.message);
        EXPECT_TRUE(tags.insert(tag).second) << e.elementName;
        EXPECT_TRUE(names.insert(e.elementName).second) << e.elementName;
        EXPECT_EQ(static_cast<uint32_t>(e.module), tag >> 24) << e.elementName;
    }
    EXPECT_EQ(0x228340ffu, CNMessageBase(34, 47).getTagID());
    EXPECT_EQ(0x76479707u, CNMessageBase(118, 836).getTagID());
    EXPECT_EQ(0x22f2bad2u, CNMessageBase(34, 15).getTagID());
    EXPECT_EQ(0x1e7b41bfu, CNMessageBase(30, 3040).getTagID());
    EXPECT_EQ(0x22517466u, CNMessageBase(34, 111).getTagID());
}

TEST_F(XMLDecoderTest, TheDecoderOwnsItsLastMessage) {
    XMLDecoder decoder;
    std::string a, b;
    CNMessageBase(34, 47).serialize(a);
    CNMessageBase(34, 81).serialize(b);
    ASSERT_NE(nullptr, decoder.unSerialize(a));
    CNMessageBase* second = decoder.unSerialize(b);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(81, second->getMessage());
    EXPECT_EQ(nullptr, decoder.unSerialize("junk"));
    EXPECT_TRUE(decoder.lastError().IsError());
}

TEST_F(XMLDecoderTest, RefusesMalformedAndTruncatedText) {
    EXPECT_EQ(kMsgEmptyText, Refusal(""));
    EXPECT_EQ(kMsgMalformed, Refusal("not xml at all"));
    EXPECT_EQ(kMsgMalformed, Refusal(kOpen + "<str id=\"1\">abc"));
    EXPECT_EQ(kMsgMalformed, Refusal(kOpen + "<str id=\"1\">abc</int>" + kClose));
    EXPECT_EQ(kMsgMalformed, Refusal(kOpen + kClose + "<extra/>"));
    EXPECT_EQ(kMsgMalformed, Refusal(kOpen + "<str id=\"1\">&unknown;</str>" + kClose));
}

TEST_F(XMLDecoderTest, RefusesUnknownClasses) {
    EXPECT_EQ(kMsgUnknownClass, Refusal("<Nobody_Knows module=\"34\" message=\"47\"/>"));
    EXPECT_EQ(kMsgUnknownClass, Refusal("<SQLPmn_ErrorMessage module=\"34\" message=\"48\"/>"));
    EXPECT_EQ(kMsgUnknownClass, Refusal("<CNMessage module=\"100\" message=\"63\"/>"));
    EXPECT_EQ(kMsgUnknownClass, Refusal("<CNMessage module=\"34\" message=\"47\"/>"));
    EXPECT_EQ(kMsgBadField, Refusal("<SQLPmn_ErrorMessage module=\"34\"/>"));
    EXPECT_EQ(kMsgBadField, Refusal("<SQLPmn_ErrorMessage module=\"34\" message=\"47\" extra=\"1\"/>"));
}

TEST_F(XMLDecoderTest, RefusesWrongTypesAndBadFields) {
    const char* bodies[] = {
        "<int id=\"1\">12x</int>", "<int id=\"1\"></int>", "<int id=\"1\">99999999999999999999</int>",
        "<int id=\"1\"> 1</int>", "<nums id=\"1\"><v>-1</v></nums>", "<str id=\"-1\">a</str>",
        "<str id=\"x\">a</str>", "<str>a</str>", "<str id=\"1\" enc=\"rot13\">a</str>",
        "<str id=\"1\" enc=\"base64\">@@@@</str>", "<str id=\"1\" enc=\"base64\">abc</str>",
        "<int id=\"1\" enc=\"base64\">MQ==</int>", "<str id=\"1\">a</str><int id=\"1\">2</int>",
        "<float id=\"1\">1.5</float>", "<obj id=\"1\"></obj>", "<str id=\"1\"><v>a</v></str>",
        "stray text",
        // Two messages inside one embedded-message field.
        ("<obj id=\"1\"><SQLPmn_ErrorMessage module=\"34\" message=\"47\"/>"
         "<SQLPmn_ErrorMessage module=\"34\" message=\"47\"/></obj>"),
        "<strs id=\"1\"><w>a</w></strs>",
    };
    for (const char* body : bodies) EXPECT_EQ(kMsgBadField, Refusal(kOpen + body + kClose)) << body;
}

TEST_F(XMLDecoderTest, RefusesDoctypesAndEntityExpansion) {
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
        "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>" +
        kOpen + "<str id=\"1\">&lol3;</str>" + kClose;
    EXPECT_EQ(kMsgMalformed, Refusal(laughs));
    const std::string external = "<!DOCTYPE x [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]>" + kOpen +
                                 "<str id=\"1\">&ext;</str>" + kClose;
    EXPECT_EQ(kMsgMalformed, Refusal(external));
    EXPECT_EQ(kMsgMalformed, Refusal("<!DOCTYPE SQLPmn_ErrorMessage SYSTEM \"http://localhost/x.dtd\">" + kOpen + kClose));
}

TEST_F(XMLDecoderTest, RefusesDeepNestingAndHugeCountsAndSizes) {
    std::string deep;
    for (int i = 0; i < CNMessageBase::kMaxNestingDepth + 1; ++i) deep += kOpen + "<obj id=\"1\">";
    EXPECT_EQ(kMsgLimitExceeded, Refusal(deep));   // refused before the text ends
    std::string many = kOpen + "<strs id=\"1\">";
    for (size_t i = 0; i <= CNMessageBase::kMaxElements; ++i) many += "<v/>";
    EXPECT_EQ(kMsgLimitExceeded, Refusal(many + "</strs>" + kClose));
    std::string huge(CNMessageBase::kMaxXmlBytes + 1, ' ');
    EXPECT_EQ(kMsgTooLarge, Refusal(huge));
}

std::string RefusalText(const std::string& text) {
    CWzError err;
    EXPECT_EQ(nullptr, XMLDecoder::decode(text, &err));
    return err.GetMessage();
}

TEST_F(XMLDecoderTest, RefusalsSayWhatIsWrong) {
    EXPECT_NE(std::string::npos, RefusalText("<!DOCTYPE x []><x/>").find("DOCTYPE")) << RefusalText("<!DOCTYPE x []><x/>");
    EXPECT_NE(std::string::npos, RefusalText("<Nobody_Knows module=\"1\" message=\"1\"/>").find("Nobody_Knows"));
    EXPECT_NE(std::string::npos, RefusalText(kOpen + "<int id=\"5\">x</int>" + kClose).find("field 5"));
    EXPECT_NE(std::string::npos, RefusalText(kOpen + "<str id=\"1\">").find("line 1"));
}

TEST_F(XMLDecoderTest, AcceptsWhitespaceCommentsAndTheXmlDeclaration) {
    auto m = XMLDecoder::decode("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- reply -->\n" + kOpen +
                                "\n  <int id=\"5\">7</int>\n  <str id=\"1\"><![CDATA[a<b]]></str>\n" + kClose);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(7, m->getint64(5, 5));
    EXPECT_EQ("a<b", m->getstring(1, 1));
}

}  // namespace
