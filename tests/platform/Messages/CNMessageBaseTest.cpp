// Message objects: typed fields, copies and the XML round trip.
#include "Messages/CNMessageBase.h"

#include <gtest/gtest.h>

#include "Messages/XMLDecoder.h"
#include "tests/support/TestRoot.h"

namespace {

// Decoding failures are logged: each test keeps its log under its own root.
class CNMessageBaseTest : public jxtest::RootedTest {};

CNMessageBase RoundTrip(const CNMessageBase& m, bool pretty = false) {
    std::string text;
    EXPECT_EQ(kMsgOk, m.serialize(text, pretty));
    CNMessageBase back(m.getModule(), m.getMessage());
    CWzError err;
    EXPECT_EQ(kMsgOk, back.unserialize(text, &err)) << err.AsString() << "\n" << text;
    return back;
}

CNMessageBase Sample() {
    CNMessageBase entity(18, 46);
    entity.setint64(11, 29, 42);
    entity.setstring(1, 1, "INST1");
    CNMessageBase item(34, 97);
    item.setstring(1, 1, "db\"one\"");
    CNMessageBase m(34, 96);
    m.setObjectAccessor(2, 5, entity);
    m.setlistobject(6, 12, std::vector<CNMessageBase>{item, item});
    m.setliststring(8, 8, {"a", "", "c<d>&e"});
    m.setlistulong(9, 9, {0, UINT64_MAX});
    m.setint64(3, 3, INT64_MIN);
    m.setstring(4, 4, "plain");
    return m;
}

TEST_F(CNMessageBaseTest, FieldsReadBackByFieldIdWhateverTheMemberIndex) {
    CNMessageBase m(34, 47);
    EXPECT_FALSE(m.isSet(5, 5));
    m.setint64(5, 2, -7);
    EXPECT_TRUE(m.isSet(5, 0));
    EXPECT_EQ(-7, m.getint64(5, 5));
    m.setstring(5, 5, "now text");   // setting a field replaces its value and type
    EXPECT_EQ(0, m.getint64(5, 5));
    EXPECT_EQ("now text", m.getstring(5, 5));
    EXPECT_EQ(1u, m.fieldCount());
}

TEST_F(CNMessageBaseTest, UnsetAndMistypedFieldsGiveEmptyValues) {
    CNMessageBase m(34, 47);
    m.setstring(1, 1, "x");
    EXPECT_EQ("", m.getstring(2, 2));
    EXPECT_EQ(0, m.getint64(1, 1));
    EXPECT_EQ(nullptr, m.getObjectAccessor(1, 1));
    EXPECT_TRUE(m.getlistobject(1, 1).empty());
    EXPECT_TRUE(m.getliststring(1, 1).empty());
    EXPECT_TRUE(m.getlistulong(1, 1).empty());
}

TEST_F(CNMessageBaseTest, ListsGrowByAppending) {
    CNMessageBase m(34, 15);
    m.addliststring(8, 8, "a");
    m.addliststring(8, 8, "b");
    m.addlistobject(3, 3, CNMessageBase(34, 20));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), m.getliststring(8, 8));
    EXPECT_EQ(1u, m.getlistobject(3, 3).size());
}

TEST_F(CNMessageBaseTest, CopiesAreDeep) {
    CNMessageBase m = Sample();
    CNMessageBase copy = m;
    copy.getObjectAccessor(2, 5)->setstring(1, 1, "changed");
    EXPECT_EQ("INST1", m.getObjectAccessor(2, 5)->getstring(1, 1));
    CNMessageBase assigned(1, 0);
    assigned = m;
    EXPECT_EQ(m, assigned);
    EXPECT_EQ(34, assigned.getModule());
    CNMessageBase moved = std::move(assigned);
    EXPECT_EQ(m, moved);
    EXPECT_EQ(0u, assigned.fieldCount());   // NOLINT: moved-from state is documented
}

TEST_F(CNMessageBaseTest, CopyFromRefusesAnotherClass) {
    CNMessageBase a(34, 47), b(34, 81);
    b.setint64(1, 1, 5);
    EXPECT_EQ(kMsgClassMismatch, a.copyFrom(b));
    EXPECT_EQ(0u, a.fieldCount());
    CNMessageBase c(34, 81);
    EXPECT_EQ(kMsgOk, c.copyFrom(b));
    EXPECT_EQ(b, c);
}

TEST_F(CNMessageBaseTest, EveryFieldKindSurvivesTheRoundTrip) {
    CNMessageBase m = Sample();
    EXPECT_EQ(m, RoundTrip(m));
    EXPECT_EQ(m, RoundTrip(m, /*pretty=*/true));
}

TEST_F(CNMessageBaseTest, MessageWithoutFieldsKeepsItsClass) {
    CNMessageBase m(34, 21);
    std::string text;
    ASSERT_EQ(kMsgOk, m.serialize(text));
    auto decoded = XMLDecoder::decode(text);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(34, decoded->getModule());
    EXPECT_EQ(21, decoded->getMessage());
    EXPECT_EQ(0u, decoded->fieldCount());
}

TEST_F(CNMessageBaseTest, AnyByteStringSurvivesTheRoundTrip) {
    const std::string cases[] = {
        "name with \"quotes\" and 'apostrophes'", "<tag>&amp;</tag>", "]]>", "db\x12" "file\x12" "group",
        "line\r\nbreak", "tab\tand\nnewline", "  padded  ", " ", "", std::string("nul\0inside", 10),
        "\xff\xfe not utf8", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\xef\xbf\xbf",
    };
    for (const std::string& s : cases) {
        CNMessageBase m(34, 47);
        m.setstring(1, 1, s);
        m.setliststring(2, 2, {s, s});
        CNMessageBase back = RoundTrip(m);
        EXPECT_EQ(s, back.getstring(1, 1));
        EXPECT_EQ((std::vector<std::string>{s, s}), back.getliststring(2, 2));
    }
}

TEST_F(CNMessageBaseTest, EscapedTextIsPlainInTheDocument) {
    CNMessageBase m(34, 47);
    m.setstring(1, 1, "a<b & c>d");
    std::string text;
    ASSERT_EQ(kMsgOk, m.serialize(text));
    EXPECT_NE(std::string::npos, text.find("a&lt;b &amp; c&gt;d")) << text;
    EXPECT_NE(std::string::npos, text.find("<SQLPmn_ErrorMessage module=\"34\" message=\"47\">")) << text;
}

TEST_F(CNMessageBaseTest, UnserializeIntoAnotherClassFailsAndChangesNothing) {
    CNMessageBase src(34, 81);
    src.setint64(1, 1, 3);
    std::string text;
    ASSERT_EQ(kMsgOk, src.serialize(text));
    CNMessageBase target(34, 47);
    target.setstring(1, 1, "kept");
    CWzError err;
    EXPECT_EQ(kMsgClassMismatch, target.unserialize(text, &err));
    EXPECT_TRUE(err.IsError());
    EXPECT_EQ("kept", target.getstring(1, 1));
    EXPECT_EQ(kMsgMalformed, target.unserialize("<SQLPmn_ErrorMessage", &err));
    EXPECT_EQ("kept", target.getstring(1, 1));
}

TEST_F(CNMessageBaseTest, UncataloguedClassesTravelAsEmbeddedMessages) {
    CNMessageBase inner(100, 63);
    inner.setint64(1, 1, 9);
    CNMessageBase outer(100, 92);
    outer.setObjectAccessor(11, 11, inner);
    EXPECT_EQ(outer, RoundTrip(outer));
    // On its own it decodes into an object of its class, not through the decoder.
    EXPECT_EQ(inner, RoundTrip(inner));
    std::string text;
    ASSERT_EQ(kMsgOk, inner.serialize(text));
    EXPECT_EQ(nullptr, XMLDecoder::decode(text));
}

TEST_F(CNMessageBaseTest, SerializeRefusesNestingThatDecodingWouldRefuse) {
    CNMessageBase m(34, 47);
    for (int i = 0; i < CNMessageBase::kMaxNestingDepth; ++i) {
        CNMessageBase outer(34, 47);
        outer.setObjectAccessor(1, 1, m);
        m = outer;
    }
    std::string text = "stale";
    EXPECT_EQ(kMsgLimitExceeded, m.serialize(text));
    EXPECT_EQ("", text);
    CNMessageBase inner = *m.getObjectAccessor(1, 1);   // exactly at the limit
    EXPECT_EQ(inner, RoundTrip(inner));
}

}  // namespace
