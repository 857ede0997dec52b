#include "tools/diag/BrowserJson.h"

namespace {

// Deep enough for any manifest or policy file; keeps a hostile file's tree bounded.
constexpr JsonRules kBrowserFiles{64, /*byteOrderMark=*/true, {}};

}  // namespace

JsonObjectRead ReadBrowserJson(std::string_view text) { return ReadJsonObject(text, kBrowserFiles); }

const nlohmann::json* Member(const nlohmann::json* value, const std::string& name) {
  if (value == nullptr || !value->is_object()) return nullptr;
  const auto member = value->find(name);
  return member == value->end() ? nullptr : &*member;
}

const std::string* StringOf(const nlohmann::json* value) {
  return value == nullptr ? nullptr : value->get_ptr<const std::string*>();
}
