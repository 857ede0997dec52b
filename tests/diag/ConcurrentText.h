// An output stream that one thread writes while another reads what has arrived so far.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

class ConcurrentText {
 public:
  ConcurrentText() : m_buffer(*this), m_stream(&m_buffer) {}

  std::ostream& Stream() { return m_stream; }
  std::string Text() const;
  // Whether `needle` appeared within `timeout`.
  bool WaitFor(const std::string& needle, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(ConcurrentText& owner) : m_owner(owner) {}

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

   private:
    ConcurrentText& m_owner;
  };

  void Append(const char* text, std::size_t count);

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_grown;
  std::string m_text;
  Buffer m_buffer;
  std::ostream m_stream;
};
