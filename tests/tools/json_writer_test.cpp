#include "tools/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/json_reader.h"

namespace tools {
namespace {

TEST(JsonWriter, StringsSurviveTheTripThroughJson) {
    struct Case {
        std::string text;
        std::string read_back;
    };
    const Case cases[] = {
        {"Wirestack", "Wirestack"},
        {"say \"hi\" \\ back/slash", "say \"hi\" \\ back/slash"},
        {"tab\tline\nreturn\r\x01\x1f end", "tab\tline\nreturn\r\x01\x1f end"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb9", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb9"},
        // Not UTF-8: each byte is read as Latin-1.
        {"caf\xe9", "caf\xc3\xa9"},
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},
        {"\xe2\x82", "\xc3\xa2\xc2\x82"},
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},
        {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
    };
    for (const Case& c : cases) {
        JsonValue value = ParseJson(JsonQuoted(c.text));
        EXPECT_EQ(value.kind, JsonValue::Kind::kString);
        EXPECT_EQ(value.text, c.read_back) << JsonQuoted(c.text);
    }
}

TEST(JsonWriter, NestsObjectsAndArrays) {
    JsonWriter json;
    json.BeginObject()
        .Key("name").String("x")
        .Key("empty").BeginArray().EndArray()
        .Key("list").BeginArray().Integer(-3).Float(0.25f).Bool(true).BeginObject().EndObject().EndArray()
        .Key("inner").BeginObject().Key("n").Float(NAN).Key("big").Integer(1LL << 40).EndObject()
        .EndObject();

    JsonValue value = ParseJson(json.Text());
    EXPECT_EQ(value["name"].text, "x");
    EXPECT_TRUE(value["empty"].items.empty());
    ASSERT_EQ(value["list"].items.size(), 4u);
    EXPECT_EQ(value["list"].items[0].number, -3);
    EXPECT_EQ(value["list"].items[1].number, 0.25);
    EXPECT_TRUE(value["list"].items[2].boolean);
    EXPECT_EQ(value["list"].items[3].kind, JsonValue::Kind::kObject);
    EXPECT_EQ(value["inner"]["n"].kind, JsonValue::Kind::kNull);
    EXPECT_EQ(value["inner"]["big"].number, double(1LL << 40));
}

}  // namespace
}  // namespace tools
