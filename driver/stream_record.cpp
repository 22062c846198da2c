#include "driver/stream_record.h"

StreamRecord::StreamRecord(std::ostream& stream, bool echo, bool keep)
    : stream_(stream), previous_(stream.rdbuf())
{
  buffer_.echo = echo ? previous_ : nullptr;
  buffer_.keep = keep;
  stream_.rdbuf(&buffer_);
}

StreamRecord::~StreamRecord() { stream_.rdbuf(previous_); }

StreamRecord::Buffer::int_type StreamRecord::Buffer::overflow(int_type c)
{
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return traits_type::not_eof(c);
  char character = traits_type::to_char_type(c);
  if (keep)
    text.push_back(character);
  if (echo != nullptr && traits_type::eq_int_type(echo->sputc(character), traits_type::eof()))
    return traits_type::eof();
  return c;
}

std::streamsize StreamRecord::Buffer::xsputn(const char* s, std::streamsize n)
{
  if (keep)
    text.append(s, static_cast<std::size_t>(n));
  return echo != nullptr ? echo->sputn(s, n) : n;
}

int StreamRecord::Buffer::sync() { return echo != nullptr ? echo->pubsync() : 0; }
