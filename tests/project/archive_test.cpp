#include <gtest/gtest.h>

#include "project/archive.h"
#include "support/archive_bytes.h"

namespace {

// A test class: a number and a reference to another node.
class test_node : public CObject {
    WS_DECLARE_CLASS(test_node)
public:
    void Serialize(archive_reader& archive) override {
        value = archive.ReadInt32();
        next = archive.ReadObjectOf<test_node>();
    }
    int32_t value = 0;
    test_node* next = nullptr;
};

class test_leaf : public test_node {
    WS_DECLARE_CLASS(test_leaf)
};

class test_other : public CObject {
    WS_DECLARE_CLASS(test_other)
};

class test_versioned : public CObject {
    WS_DECLARE_CLASS(test_versioned)
public:
    void Serialize(archive_reader& archive) override { schema = archive.CurrentSchema(); }
    int schema = 0;
};

WS_IMPLEMENT_CLASS(test_node, CObject, 1, false);
WS_IMPLEMENT_CLASS(test_leaf, test_node, 1, false);
WS_IMPLEMENT_CLASS(test_other, CObject, 1, false);
WS_IMPLEMENT_CLASS(test_versioned, CObject, 7, true);

std::string ReadTextOf(const archive_bytes& bytes) {
    archive_reader archive(bytes.bytes);
    return archive.ReadText();
}

TEST(ArchiveTexts, EveryLengthForm) {
    const std::string long_text(300, 'x');
    EXPECT_EQ(ReadTextOf(archive_bytes().Text("")), "");
    EXPECT_EQ(ReadTextOf(archive_bytes().Text("Oscillator")), "Oscillator");
    archive_bytes prefixed = archive_bytes().Text(long_text);
    EXPECT_EQ(prefixed.bytes[0], 0xFF);
    EXPECT_EQ(prefixed.bytes[1] | (prefixed.bytes[2] << 8), 300);
    EXPECT_EQ(ReadTextOf(prefixed), long_text);
    EXPECT_EQ(ReadTextOf(archive_bytes().U8(0xFF).U16(0xFFFF).U32(3).U8('a').U8('b').U8('c')), "abc");
    EXPECT_EQ(ReadTextOf(archive_bytes().WideText(u"Volts")), "Volts");
    EXPECT_EQ(ReadTextOf(archive_bytes().WideText(u"\u00e9\u4e00")), "\xe9?");
    EXPECT_EQ(ReadTextOf(archive_bytes().WideText(std::u16string(260, u'w'))), std::string(260, 'w'));
    // A length past the end fails before anything is allocated.
    EXPECT_THROW(ReadTextOf(archive_bytes().U8(0xFF).U16(0xFFFF).U32(0xFFFFFFF0u)), archive_error);
    EXPECT_THROW(ReadTextOf(archive_bytes().U8(5).U8('a')), archive_error);
}

TEST(ArchiveCounts, SixteenBitOrThirtyTwoBehindFFFF) {
    const archive_bytes bytes = archive_bytes().Count(7).Count(70000);
    archive_reader archive(bytes.bytes);
    EXPECT_EQ(archive.ReadCount(), 7u);
    EXPECT_EQ(archive.ReadCount(), 70000u);
    EXPECT_TRUE(archive.AtEnd());
}

TEST(ArchiveObjects, ClassRecordsNewObjectsAndBackReferences) {
    // Entry 1: class test_node, 2: first node; 3: class test_leaf, 4: leaf that
    // points back to the first node; 5: a second node of the class in entry 1.
    archive_bytes bytes;
    bytes.NewClass("test_node").I32(10);
    bytes.NewClass("test_leaf").I32(20).Ref(2);
    bytes.OldClass(1).I32(30).Null();
    archive_reader archive(bytes.bytes);
    auto* first = archive.ReadObjectOf<test_node>();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->value, 10);
    ASSERT_NE(first->next, nullptr);
    EXPECT_TRUE(first->next->Is<test_leaf>());
    EXPECT_EQ(first->next->value, 20);
    EXPECT_EQ(first->next->next, first) << "a back reference resolves to the object being read";
    auto* second = archive.ReadObjectOf<test_node>();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->value, 30);
    std::unique_ptr<test_node> kept = archive.Adopt(first);  // the rest the reader deletes
}

TEST(ArchiveObjects, BigTagsUseThirtyTwoBits) {
    archive_bytes bytes;
    bytes.NewClass("test_node").I32(1).Null();               // entries 1 and 2
    bytes.U16(0x7FFF).U32(0x80000001u).I32(2).Null();        // new object of class entry 1: entry 3
    bytes.U16(0x7FFF).U32(3);                                // reference to entry 3
    archive_reader archive(bytes.bytes);
    archive.ReadObjectOf<test_node>();
    auto* second = archive.ReadObjectOf<test_node>();
    EXPECT_EQ(archive.ReadObjectOf<test_node>(), second);
    EXPECT_EQ(second->value, 2);
}

TEST(ArchiveObjects, VersionableClassesKeepTheStoredSchema) {
    archive_bytes bytes;
    bytes.NewClass("test_versioned", 95).OldClass(1);
    archive_reader archive(bytes.bytes);
    EXPECT_EQ(archive.ReadObjectOf<test_versioned>()->schema, 95);
    EXPECT_EQ(archive.ReadObjectOf<test_versioned>()->schema, 95);
}

struct malformed_case {
    const char* what;
    archive_bytes bytes;
    const char* message_part;
};

TEST(ArchiveErrors, MalformedInputFailsWithTheOffsetAndTheReason) {
    const malformed_case cases[] = {
        {"unknown class", archive_bytes().NewClass("CNoSuchThing"), "unknown class \"CNoSuchThing\""},
        {"schema", archive_bytes().NewClass("test_node", 2), "schema 2"},
        {"entry out of range", archive_bytes().Ref(9), "reference to entry 9"},
        {"class entry as object", archive_bytes().NewClass("test_node").I32(1).Ref(1), "not an object"},
        {"object entry as class", archive_bytes().NewClass("test_node").I32(1).Null().OldClass(2), "not a class"},
        {"wrong class", archive_bytes().NewClass("test_other"), "where \"test_node\" belongs"},
        {"ends early", archive_bytes().NewClass("test_node").U16(1), "archive ends"},
        {"long class name", archive_bytes().U16(0xFFFF).U16(1).U16(64), "longer than 63"},
    };
    for (const auto& c : cases) {
        archive_reader archive(c.bytes.bytes);
        try {
            archive.ReadObjectOf<test_node>();
            archive.ReadObjectOf<test_node>();
            ADD_FAILURE() << c.what << ": no error";
        } catch (const archive_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.message_part), std::string::npos) << c.what << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find("at byte"), std::string::npos);
            EXPECT_LE(error.Offset(), c.bytes.bytes.size());
        }
    }
}

TEST(ArchiveErrors, DeepNestingIsRefusedBeforeTheStackRunsOut) {
    archive_bytes bytes;
    bytes.NewClass("test_node").I32(0);
    for (int i = 0; i < 100000; ++i) bytes.OldClass(1).I32(i);
    archive_reader archive(bytes.bytes);
    EXPECT_THROW(archive.ReadObjectOf<test_node>(), archive_error);
}

TEST(ArchiveErrors, AHugeCountFailsBeforeAllocating) {
    const archive_bytes bytes = archive_bytes().Count(0xFFFFFFF0u);
    archive_reader archive(bytes.bytes);
    EXPECT_THROW(archive.ReadTextList(), archive_error);
}

}  // namespace
