// The archive writer against the archive reader: every primitive, text and
// count form and every form of object reference, byte by byte.
#include "tools/archive_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/archive_bytes.h"

namespace tools {
namespace {

// A test class: a number and a reference to another node.
class writer_test_node : public CObject {
    WS_DECLARE_CLASS(writer_test_node)
public:
    void Serialize(archive_reader& archive) override {
        value = archive.ReadInt32();
        next = archive.ReadObjectOf<writer_test_node>();
    }
    int32_t value = 0;
    writer_test_node* next = nullptr;
};

class writer_test_mark : public CObject {
    WS_DECLARE_CLASS(writer_test_mark)
};

class writer_test_unwritable : public CObject {
    WS_DECLARE_CLASS(writer_test_unwritable)
};

WS_IMPLEMENT_CLASS(writer_test_node, CObject, 3, false);
WS_IMPLEMENT_CLASS(writer_test_mark, CObject, 1, false);
WS_IMPLEMENT_CLASS(writer_test_unwritable, CObject, 1, false);

const record_table& TestRecords() {
    static const record_table table = [] {
        record_table records;
        records[&writer_test_node::class_info] = [](archive_writer& archive, const CObject& object) {
            const auto& node = static_cast<const writer_test_node&>(object);
            archive.WriteInt32(node.value);
            archive.WriteObject(node.next);
        };
        records[&writer_test_mark::class_info] = [](archive_writer&, const CObject&) {};
        return records;
    }();
    return table;
}

std::vector<uint8_t> Written(const std::function<void(archive_writer&)>& write) {
    archive_writer archive(TestRecords());
    write(archive);
    return archive.Bytes();
}

TEST(ArchiveWriterPrimitives, BytesAreTheReadersAndReadBack) {
    const std::string long_text(300, 'x');
    const std::string utf8_text = "caf\xc3\xa9";
    const std::vector<uint8_t> written = Written([&](archive_writer& a) {
        a.WriteBool(true);
        a.WriteByte(0xAB);
        a.WriteInt16(-2);
        a.WriteUInt16(0xFEDC);
        a.WriteInt32(-95710);
        a.WriteUInt32(0x89ABCDEFu);
        a.WriteFloat(0.25f);
        a.WriteDouble(-1.0e300);
        a.WriteRect({-1, 2, -3, 4});
        a.WritePoint({640, 480});
        a.WriteText(utf8_text);
        a.WriteText(long_text);
        a.WriteTextList({"a", "", "bc"});
    });
    const archive_bytes expected = archive_bytes()
                                       .Bool(true)
                                       .U8(0xAB)
                                       .I16(-2)
                                       .U16(0xFEDC)
                                       .I32(-95710)
                                       .U32(0x89ABCDEFu)
                                       .F32(0.25f)
                                       .F64(-1.0e300)
                                       .Rect(-1, 2, -3, 4)
                                       .Point(640, 480)
                                       .Text(utf8_text)
                                       .Text(long_text)
                                       .Count(3)
                                       .Text("a")
                                       .Text("")
                                       .Text("bc");
    EXPECT_EQ(written, expected.bytes);

    archive_reader archive(written);
    EXPECT_TRUE(archive.ReadBool());
    EXPECT_EQ(archive.ReadByte(), 0xAB);
    EXPECT_EQ(archive.ReadInt16(), -2);
    EXPECT_EQ(archive.ReadUInt16(), 0xFEDC);
    EXPECT_EQ(archive.ReadInt32(), -95710);
    EXPECT_EQ(archive.ReadUInt32(), 0x89ABCDEFu);
    EXPECT_EQ(archive.ReadFloat(), 0.25f);
    EXPECT_EQ(archive.ReadDouble(), -1.0e300);
    EXPECT_EQ(archive.ReadRect(), (ws_rect{-1, 2, -3, 4}));
    EXPECT_EQ(archive.ReadPoint(), (ws_point{640, 480}));
    EXPECT_EQ(archive.ReadText(), utf8_text);
    EXPECT_EQ(archive.ReadText(), long_text);
    EXPECT_EQ(archive.ReadTextList(), (std::vector<std::string>{"a", "", "bc"}));
    EXPECT_TRUE(archive.AtEnd());
}

// The length prefix is the shortest the reader takes; 0xFFFE and 0xFFFF are
// markers in the 16-bit form, so those lengths need the 32-bit one.
TEST(ArchiveWriterPrimitives, TextPrefixesAtEveryBoundary) {
    const struct {
        std::size_t length;
        std::vector<uint8_t> prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'w');
        const std::vector<uint8_t> written = Written([&](archive_writer& a) { a.WriteText(text); });
        ASSERT_EQ(written.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(c.prefix.size())),
                  c.prefix)
            << c.length;
        archive_reader archive(written);
        EXPECT_EQ(archive.ReadText(), text) << c.length;
    }
}

TEST(ArchiveWriterPrimitives, CountsAtEveryBoundary) {
    const struct {
        std::size_t count;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> written = Written([&](archive_writer& a) { a.WriteCount(c.count); });
        EXPECT_EQ(written, c.bytes) << c.count;
        archive_reader archive(written);
        EXPECT_EQ(archive.ReadCount(), c.count);
    }
}

// Entries: 1 the class, 2 the first node, 3 the second; a back reference is
// the entry, a second object of the class is 0x8000 | the class entry.
TEST(ArchiveWriterObjects, ClassRecordsClassEntriesBackReferencesAndNone) {
    writer_test_node first, second, third;
    first.value = 10;
    first.next = &second;
    second.value = 20;
    second.next = &first;
    third.value = 30;
    const std::vector<uint8_t> written = Written([&](archive_writer& a) {
        a.WriteObject(&first);
        a.WriteObject(&second);
        a.WriteObject(nullptr);
        a.WriteObject(&third);
    });
    const archive_bytes expected = archive_bytes()
                                       .NewClass("writer_test_node", 3)
                                       .I32(10)
                                       .OldClass(1)
                                       .I32(20)
                                       .Ref(2)
                                       .Ref(3)
                                       .Null()
                                       .OldClass(1)
                                       .I32(30)
                                       .Null();
    EXPECT_EQ(written, expected.bytes);

    archive_reader archive(written);
    auto* read_first = archive.ReadObjectOf<writer_test_node>();
    auto* read_second = archive.ReadObjectOf<writer_test_node>();
    EXPECT_EQ(archive.ReadObjectOf<writer_test_node>(), nullptr);
    auto* read_third = archive.ReadObjectOf<writer_test_node>();
    EXPECT_EQ(read_first->next, read_second);
    EXPECT_EQ(read_second->next, read_first);
    EXPECT_EQ(read_second->value, 20);
    EXPECT_EQ(read_third->value, 30);
    EXPECT_EQ(read_third->next, nullptr);
}

TEST(ArchiveWriterObjects, AnObjectReferringToItselfRefersToItsOwnEntry) {
    writer_test_node loop;
    loop.next = &loop;
    const std::vector<uint8_t> written = Written([&](archive_writer& a) { a.WriteObject(&loop); });
    EXPECT_EQ(written, archive_bytes().NewClass("writer_test_node", 3).I32(0).Ref(2).bytes);
    archive_reader archive(written);
    auto* read = archive.ReadObjectOf<writer_test_node>();
    EXPECT_EQ(read->next, read);
}

// Entries from 0x7FFF on do not fit a 16-bit tag beside the marker values,
// for objects and classes alike: they go behind the 0x7FFF tag in 32 bits.
TEST(ArchiveWriterObjects, BigEntriesUseTheThirtyTwoBitTag) {
    std::vector<writer_test_node> nodes(0x7FFF);  // entries 2 to 0x8000
    writer_test_mark first_mark, second_mark;     // class 0x8001, objects 0x8002 and 0x8003
    const std::vector<uint8_t> written = Written([&](archive_writer& a) {
        for (const writer_test_node& node : nodes) a.WriteObject(&node);
        a.WriteObject(&first_mark);
        a.WriteObject(&second_mark);
        a.WriteObject(&nodes[0x7FFC]);  // entry 0x7FFE
        a.WriteObject(&nodes[0x7FFD]);  // entry 0x7FFF
        a.WriteObject(&first_mark);
    });
    const archive_bytes tail = archive_bytes()
                                   .NewClass("writer_test_mark")
                                   .U16(0x7FFF)
                                   .U32(0x80008001u)
                                   .U16(0x7FFE)
                                   .U16(0x7FFF)
                                   .U32(0x7FFF)
                                   .U16(0x7FFF)
                                   .U32(0x8002);
    ASSERT_GT(written.size(), tail.bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(written.end() - static_cast<std::ptrdiff_t>(tail.bytes.size()), written.end()),
              tail.bytes);

    archive_reader archive(written);
    std::vector<CObject*> read;
    for (std::size_t i = 0; i < nodes.size() + 5; ++i) read.push_back(archive.ReadObject(nullptr));
    EXPECT_TRUE(archive.AtEnd());
    EXPECT_TRUE(read[nodes.size()]->Is<writer_test_mark>());
    EXPECT_TRUE(read[nodes.size() + 1]->Is<writer_test_mark>());
    EXPECT_NE(read[nodes.size()], read[nodes.size() + 1]);
    EXPECT_EQ(read[nodes.size() + 2], read[0x7FFC]);
    EXPECT_EQ(read[nodes.size() + 3], read[0x7FFD]);
    EXPECT_EQ(read[nodes.size() + 4], read[nodes.size()]);
}

TEST(ArchiveWriterObjects, AClassWithoutARecordWriterIsAnErrorNamingIt) {
    writer_test_unwritable object;
    archive_writer archive(TestRecords());
    try {
        archive.WriteObject(&object);
        FAIL() << "written";
    } catch (const archive_write_error& error) {
        EXPECT_NE(std::string(error.what()).find("\"writer_test_unwritable\""), std::string::npos) << error.what();
    }
}

// The reader refuses objects nested more than 256 deep, so the writer does not
// write them.
TEST(ArchiveWriterObjects, NestingTheReaderRefusesIsNotWritten) {
    const auto chain_of = [](std::size_t length) {
        std::vector<writer_test_node> chain(length);
        for (std::size_t i = 0; i + 1 < length; ++i) chain[i].next = &chain[i + 1];
        return chain;
    };
    std::vector<writer_test_node> deepest = chain_of(256);
    const std::vector<uint8_t> written = Written([&](archive_writer& a) { a.WriteObject(&deepest[0]); });
    archive_reader archive(written);
    EXPECT_NO_THROW(archive.ReadObject(nullptr));

    std::vector<writer_test_node> too_deep = chain_of(257);
    archive_writer writer(TestRecords());
    EXPECT_THROW(writer.WriteObject(&too_deep[0]), archive_write_error);
}

}  // namespace
}  // namespace tools
