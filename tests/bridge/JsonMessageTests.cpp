// The strict check of the browser's messages: what is one JSON object and what is not,
// and the "type" it names. Built for Windows and, with the sanitizers, natively.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bridge/JsonMessage.h"

namespace {

using namespace std::string_literals;

struct Accepted {
  const char* name;
  std::string text;
  std::optional<std::string> type;
};

TEST(JsonMessage, ObjectsAreAcceptedAndTheirStringTypeIsPulledOut) {
  const Accepted cases[] = {
      {"hello", R"({"type":"hello"})", "hello"},
      {"white space all round", " \t\r\n{ \"type\" : \"hello\" }\n ", "hello"},
      {"empty object", "{}", std::nullopt},
      {"no type", R"({"kind":"hello"})", std::nullopt},
      {"type not a string", R"({"type":1})", std::nullopt},
      {"type null", R"({"type":null})", std::nullopt},
      {"nested type is not the message's", R"({"a":{"type":"x"}})", std::nullopt},
      {"nested type beside the top one", R"({"a":{"type":"x","type":"y"},"type":"hello"})", "hello"},
      {"escapes decoded", R"({"type":"he\u006Clo\n\"\\\/\b\f\r\t"})", std::string("hello\n\"\\/\b\f\r\t")},
      {"escaped name", R"({"t\u0079pe":"hello"})", "hello"},
      {"surrogate pair", R"({"type":"\uD83D\uDE00"})", std::string("\xF0\x9F\x98\x80")},
      {"raw UTF-8 kept", "{\"type\":\"\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF\"}",
       std::string("\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF")},
      {"every kind of value", R"({"a":[1,-0,0.5,-1.25e+10,2E-3,1e5,true,false,null,"",{},[]],"type":"card"})", "card"},
      {"unknown type", R"({"type":"launch-missiles","x":[]})", "launch-missiles"},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.name);
    const JsonMessage message = CheckJsonMessage(c.text);
    EXPECT_TRUE(message.valid) << message.error;
    EXPECT_EQ(message.type, c.type);
  }
}

struct Refused {
  const char* name;
  std::string text;
  const char* error;  // the start of the reason given
};

// An object holding arrays in arrays, `depth` levels in all.
std::string Nested(int depth) {
  const auto arrays = static_cast<std::size_t>(depth - 1);
  return "{\"a\":" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
}

// Objects opened inside each other and never closed.
std::string OpenObjects(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "{\"a\":";
  return text;
}

TEST(JsonMessage, AnythingButOneWellFormedObjectIsRefusedWithTheReasonAndWhere) {
  const Refused cases[] = {
      {"empty", "", "no JSON value at byte 0"},
      {"only space", "  \n", "no JSON value at byte 3"},
      {"array", "[]", "not a JSON object at byte 0"},
      {"string", R"("type")", "not a JSON object"},
      {"number", "1", "not a JSON object"},
      {"byte order mark", "\xEF\xBB\xBF{}", "not a JSON object"},
      {"two objects", "{}{}", "more text after the object at byte 2"},
      {"trailing text", R"({"type":"hello"} x)", "more text after the object"},
      {"unterminated object", R"({"type":"hello")", "expected ',' or '}'"},
      {"trailing comma", R"({"type":"hello",})", "expected a member name"},
      {"trailing comma in array", R"({"a":[1,]})", "unexpected character"},
      {"unquoted name", "{type:1}", "expected a member name"},
      {"single quotes", "{'type':1}", "expected a member name"},
      {"missing colon", R"({"type" "hello"})", "expected ':'"},
      {"missing value", R"({"type":})", "unexpected character"},
      {"unterminated string", R"({"type":"hel)", "unterminated string"},
      {"control character", "{\"type\":\"a\tb\"}", "control character in a string"},
      {"NUL in a string", "{\"type\":\"a\0b\"}"s, "control character in a string"},
      {"NUL after the object", "{}\0"s, "more text after the object"},
      {"unknown escape", R"({"type":"\x41"})", "unknown escape"},
      {"short \\u escape", R"({"type":"\u41"})", "bad hex digit"},
      {"\\u at the end", R"({"type":"\u00)", "unterminated string"},
      {"lone low surrogate", R"({"type":"\uDC00"})", "unpaired surrogate"},
      {"lone high surrogate", R"({"type":"\uD800x"})", "unpaired surrogate"},
      {"high surrogate then a non-low", R"({"type":"\uD800\u0041"})", "unpaired surrogate"},
      {"leading zero", R"({"a":01})", "expected ',' or '}'"},
      {"plus sign", R"({"a":+1})", "unexpected character"},
      {"bare minus", R"({"a":-})", "bad number"},
      {"dot without digits", R"({"a":1.})", "bad number"},
      {"exponent without digits", R"({"a":1e+})", "bad number"},
      {"NaN", R"({"a":NaN})", "unexpected character"},
      {"misspelt literal", R"({"a":tru})", "unexpected character"},
      {"comment", R"({/*x*/"type":"hello"})", "expected a member name"},
      {"second type", R"({"type":"hello","type":"card"})", "a second \"type\" member"},
      {"second type, escaped", R"({"type":1,"typ\u0065":"hello"})", "a second \"type\" member"},
      {"overlong UTF-8", "{\"type\":\"\xC0\xAF\"}", "invalid UTF-8"},
      {"UTF-8 surrogate", "{\"type\":\"\xED\xA0\x80\"}", "invalid UTF-8"},
      {"UTF-8 above U+10FFFF", "{\"type\":\"\xF4\x90\x80\x80\"}", "invalid UTF-8"},
      {"truncated UTF-8", "{\"type\":\"\xE2\x82\"}", "invalid UTF-8"},
      {"UTF-8 cut by the end", "{\"type\":\"\xE2", "invalid UTF-8"},
      {"lone continuation byte", "{\"type\":\"\x80\"}", "invalid UTF-8"},
      {"Latin-1 outside a string", "{\xE9:1}", "expected a member name"},
      {"too deep", Nested(65), "nested too deeply"},
      {"brackets all the way", std::string(65536, '['), "not a JSON object"},
      {"open objects all the way", OpenObjects(13000), "nested too deeply"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    const JsonMessage message = CheckJsonMessage(c.text);
    EXPECT_FALSE(message.valid);
    EXPECT_EQ(message.error.rfind(c.error, 0), 0u) << message.error;
    EXPECT_FALSE(message.type.has_value());
  }
}

TEST(JsonMessage, NestingUpToTheLimitIsAccepted) {
  EXPECT_TRUE(CheckJsonMessage(Nested(64)).valid);
  EXPECT_FALSE(CheckJsonMessage(Nested(65)).valid);
}

}  // namespace
