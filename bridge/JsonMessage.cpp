#include "bridge/JsonMessage.h"

#include "bridge/Protocol.h"
#include "json/StrictJson.h"

JsonMessage CheckJsonMessage(std::string_view text) {
  const JsonRules rules{BridgeProtocol::kMaxJsonDepth, /*byteOrderMark=*/false, "type"};
  const JsonObjectRead read = ReadJsonObject(text, rules);
  JsonMessage message;
  if (!read.object) {
    message.error = read.error;
    return message;
  }
  message.valid = true;
  const auto type = read.object->find("type");
  if (type != read.object->end() && type->is_string()) message.type = type->get<std::string>();
  return message;
}
