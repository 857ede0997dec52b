// tarvx-diag's rule for allowed-origins entries against the table the extension's tests
// use too (tests/data/origin-cases.json, built into the test): both ignore the same entries.
#include <gtest/gtest.h>

#include <string>

#include "tests/diag/OriginCases.h"
#include "tools/diag/AllowedOrigin.h"
#include "tools/diag/BrowserJson.h"

namespace {

TEST(AllowedOrigin, TakesEachEntryOfTheSharedTableAsTheExtensionDoes) {
  const JsonObjectRead table = ReadBrowserJson(kOriginCasesJson);
  ASSERT_TRUE(table.object) << table.error;
  const nlohmann::json* cases = Member(&*table.object, "cases");
  ASSERT_NE(cases, nullptr);
  ASSERT_TRUE(cases->is_array());
  ASSERT_FALSE(cases->empty());
  for (const nlohmann::json& c : *cases) {
    const std::string* entryText = StringOf(Member(&c, "entry"));
    ASSERT_NE(entryText, nullptr) << c.dump();
    const std::string entry = *entryText;
    const std::string* origin = StringOf(Member(&c, "origin"));
    const OriginVerdict verdict = ParseAllowedOrigin(entry);
    if (origin != nullptr) {
      EXPECT_EQ(verdict.origin.value_or("(ignored: " + verdict.why + ")"), *origin) << entry;
    } else {
      EXPECT_FALSE(verdict.origin.has_value()) << entry << " taken as " << verdict.origin.value_or("");
      EXPECT_FALSE(verdict.why.empty()) << entry;
    }
  }
}

// Why an entry is ignored is what the technician reads: the reasons name the fault.
TEST(AllowedOrigin, SaysWhyAnEntryIsIgnored) {
  const struct {
    const char* entry;
    const char* why;
  } cases[] = {
      {"https://shop.example:0443", "a port not as a browser writes it"},
      {"http://127.1", "four decimal numbers"},
      {"https://shop.example/cards", "a path"},
      {"https://*.shop.example", "wildcard"},
      {"shop.example", "http:// or https://"},
      {"http://[0:0::1]", "not as a browser writes it (::1)"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(ParseAllowedOrigin(c.entry).why.find(c.why), std::string::npos)
        << c.entry << ": " << ParseAllowedOrigin(c.entry).why;
  }
}

}  // namespace
