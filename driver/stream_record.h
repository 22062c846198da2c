// What a standard stream is given while a StreamRecord lasts: the record
// keeps every character written to the stream (unless told not to) and, when
// it echoes, passes each one on at once to where the stream wrote before, so
// that what reaches the stream is unchanged, byte for byte and in order.
//
// Ownership: a StreamRecord keeps the stream it is given, which must outlive
// it, and puts the stream's buffer back when it is destroyed; text() gives a
// copy.
#ifndef VORL_DRIVER_STREAM_RECORD_H
#define VORL_DRIVER_STREAM_RECORD_H

#include <ostream>
#include <streambuf>
#include <string>

class StreamRecord {
 public:
  StreamRecord(std::ostream& stream, bool echo, bool keep = true);
  ~StreamRecord();
  StreamRecord(const StreamRecord&) = delete;
  StreamRecord& operator=(const StreamRecord&) = delete;

  /// Everything written to the stream since the record began.
  std::string text() const { return buffer_.text; }

 private:
  // Unbuffered: every character goes through overflow() or xsputn().
  struct Buffer : std::streambuf {
    std::streambuf* echo = nullptr;
    bool keep = true;
    std::string text;

    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;
  };

  std::ostream& stream_;
  std::streambuf* previous_;
  Buffer buffer_;
};

#endif
