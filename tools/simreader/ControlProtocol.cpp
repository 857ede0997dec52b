#include "tools/simreader/ControlProtocol.h"

#include <cstring>

namespace simreader {
namespace protocol {
namespace {

template <typename Header>
std::vector<std::uint8_t> Join(const Header& header, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> message(sizeof(Header) + payload.size());
  std::memcpy(message.data(), &header, sizeof(Header));
  if (!payload.empty()) std::memcpy(message.data() + sizeof(Header), payload.data(), payload.size());
  return message;
}

template <typename Message>
std::optional<Message> Split(const std::uint8_t* bytes, std::size_t size) {
  Message message;
  if (bytes == nullptr || size < sizeof(message.header)) return std::nullopt;
  std::memcpy(&message.header, bytes, sizeof(message.header));
  message.payload.assign(bytes + sizeof(message.header), bytes + size);
  return message;
}

}  // namespace

std::string ControlPipePath(const std::string& session) { return "\\\\.\\pipe\\simreader-control#" + session; }

std::vector<std::uint8_t> Encode(const Request& request) { return Join(request.header, request.payload); }
std::vector<std::uint8_t> Encode(const Answer& answer) { return Join(answer.header, answer.payload); }

std::optional<Request> DecodeRequest(const std::uint8_t* bytes, std::size_t size) {
  return Split<Request>(bytes, size);
}

std::optional<Answer> DecodeAnswer(const std::uint8_t* bytes, std::size_t size) { return Split<Answer>(bytes, size); }

}  // namespace protocol
}  // namespace simreader
