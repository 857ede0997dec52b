#include "tests/diag/ConcurrentText.h"

std::string ConcurrentText::Text() const {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_text;
}

bool ConcurrentText::WaitFor(const std::string& needle, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_grown.wait_for(lock, timeout, [&] { return m_text.find(needle) != std::string::npos; });
}

void ConcurrentText::Append(const char* text, std::size_t count) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_text.append(text, count);
  }
  m_grown.notify_all();
}

ConcurrentText::Buffer::int_type ConcurrentText::Buffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    const char character = traits_type::to_char_type(c);
    m_owner.Append(&character, 1);
  }
  return traits_type::not_eof(c);
}

std::streamsize ConcurrentText::Buffer::xsputn(const char* text, std::streamsize count) {
  m_owner.Append(text, static_cast<std::size_t>(count));
  return count;
}
