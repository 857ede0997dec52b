// The browsers' JSON files as tarvx-diag reads them (host manifests, policies.json, policy
// values): one object, a UTF-8 byte order mark in front passed over as the browsers do
// (Notepad writes one), and lookups that may go through missing or mistyped parts of a
// file a person wrote.
#pragma once

#include <string>
#include <string_view>

#include "json/StrictJson.h"

JsonObjectRead ReadBrowserJson(std::string_view text);

// The member `name` of `value`; null when `value` is null, no object or has no such member.
const nlohmann::json* Member(const nlohmann::json* value, const std::string& name);

// The text of `value` when it is a string, else null.
const std::string* StringOf(const nlohmann::json* value);
