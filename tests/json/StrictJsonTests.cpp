// The JSON reader's own rules, each on and off, and the reasons it gives. The host's table
// of messages (tests/bridge/JsonMessageTests.cpp) covers RFC 8259 itself through it.
#include <gtest/gtest.h>

#include <string>

#include "json/StrictJson.h"

namespace {

struct Case {
  const char* name;
  JsonRules rules;
  std::string text;
  const char* error;  // the start of the reason given; empty: accepted
};

const JsonRules kPlain{};
const JsonRules kWithMark{64, true, {}};
const JsonRules kShallow{3, false, {}};
const JsonRules kOnceId{64, false, "id"};

TEST(StrictJson, EachRuleDecidesWhatItSays) {
  const Case cases[] = {
      {"byte order mark passed over", kWithMark, "\xEF\xBB\xBF{}", ""},
      {"byte order mark refused", kPlain, "\xEF\xBB\xBF{}", "not a JSON object at byte 0"},
      {"byte order mark after white space", kWithMark, " \xEF\xBB\xBF{}", "not a JSON object at byte 1"},
      {"half a byte order mark", kWithMark, "\xEF\xBB{}", "not a JSON object at byte 0"},
      {"offsets count the byte order mark", kWithMark, "\xEF\xBB\xBF{\"a\":1 x}", "expected ',' or '}' at byte 10"},
      {"at the depth limit", kShallow, R"({"a":[{}]})", ""},
      {"past the depth limit", kShallow, R"({"a":[[{}]]})", "nested too deeply"},
      {"member named once", kOnceId, R"({"id":1,"a":{"id":2,"id":3}})", ""},
      {"member named twice", kOnceId, R"({"id":1,"id":2})", "a second \"id\" member"},
      {"no member to name once", kPlain, R"({"id":1,"id":2})", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const JsonObjectRead read = ReadJsonObject(c.text, c.rules);
    EXPECT_EQ(read.object.has_value(), *c.error == '\0');
    EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << read.error;
  }
}

// The parser's own message quotes what it last read; the reason must come from the fault,
// not from words in that text, and must not repeat it.
TEST(StrictJson, TheReasonComesFromTheFaultNotFromTheTextQuoted) {
  const Case cases[] = {
      {"a string that reads like a reason", kPlain, "{\"a\":\"expected end of input\x01\"}",
       "control character in a string at byte 27"},
      {"a name that reads like a reason", kPlain, "{\"expected ':'\x01\":1}", "control character in a string"},
      {"a number too large for a double", kPlain, R"({"a":1e999})", "number out of range"},
      {"an integer too large for 64 bits", kPlain, R"({"a":123456789012345678901234567890})", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const JsonObjectRead read = ReadJsonObject(c.text, c.rules);
    EXPECT_EQ(read.object.has_value(), *c.error == '\0');
    EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << read.error;
    EXPECT_EQ(read.error.find("expected end"), std::string::npos) << read.error;
    EXPECT_EQ(read.error.find("999"), std::string::npos) << read.error;
  }
}

TEST(StrictJson, TheObjectHoldsTheDecodedValues) {
  const JsonObjectRead read = ReadJsonObject(R"({"a":"\u00e9\ud83d\ude00","b":[1,-2.5e3,true,null],"c":{}})", kPlain);
  ASSERT_TRUE(read.object) << read.error;
  const nlohmann::json expected = {
      {"a", "\xC3\xA9\xF0\x9F\x98\x80"}, {"b", {1, -2500.0, true, nullptr}}, {"c", nlohmann::json::object()}};
  EXPECT_EQ(*read.object, expected);
}

}  // namespace
