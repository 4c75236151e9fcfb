// Diagnostics of the JPEG 2000 decoder.
//
// A message is composed by stream insertion into a short-lived kdu_error or kdu_warning and is
// delivered when the object is destroyed: its text goes to a process-wide sink (none by default,
// so the text is dropped) and then a process-wide handler runs.  Without an error handler a
// kdu_error ends the process with exit status -1; kdu_install_exception_handler() installs a
// handler that throws kdu_exception instead, so that a host can fail one decode.
#pragma once

#include <exception>
#include <ostream>
#include <streambuf>

// Line-wrapping stream buffer: lines are broken after 79 characters, continuation lines keep
// the message indent, and a tab at the start of a line adds 4 columns (40 at most).
class kdu_pretty_buf : public std::streambuf {
 public:
  explicit kdu_pretty_buf(std::ostream *sink);
  void change_indent(int new_indent);

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void put_line();
  void fill_indent(int count);

  enum { max_line_width = 79 };
  char line_buf[max_line_width + 2];
  int line_length = 0;
  int max_indent = 40;
  int master_indent = 0;
  int indent = 0;
  bool at_line_start = true;
  std::ostream *sink;
};

// Thrown by the handler that kdu_install_exception_handler() installs.
class kdu_exception : public std::exception {
 public:
  const char *what() const noexcept override { return "JPEG 2000 decoding error"; }
};

// The two message classes forward stream insertion to an output stream over their own
// kdu_pretty_buf.  They hold the stream rather than derive from it because the error
// destructor must be able to pass on the exception thrown by an installed handler.
class kdu_message {
 public:
  template <class T>
  kdu_message &operator<<(const T &value) {
    out << value;
    return *this;
  }
  kdu_message &operator<<(std::ostream &(*manip)(std::ostream &)) {
    manip(out);
    return *this;
  }
  kdu_message &operator<<(std::ios_base &(*manip)(std::ios_base &)) {
    manip(out);
    return *this;
  }
  std::ostream &stream() { return out; }
  kdu_message(const kdu_message &) = delete;
  kdu_message &operator=(const kdu_message &) = delete;

 protected:
  kdu_message(std::ostream *sink, const char *heading);
  ~kdu_message() = default;
  kdu_pretty_buf buf;
  std::ostream out;
};

class kdu_error : public kdu_message {
 public:
  kdu_error();
  ~kdu_error() noexcept(false);

 private:
  int uncaught_at_start;
};

class kdu_warning : public kdu_message {
 public:
  kdu_warning();
  ~kdu_warning();
};

typedef void (*kdu_message_handler)();

// Installs the sink and handler used by every later kdu_error (null for none).
void kdu_customize_errors(std::ostream *sink, kdu_message_handler handler);
// Installs the sink and handler used by every later kdu_warning (null for none).
void kdu_customize_warnings(std::ostream *sink, kdu_message_handler handler);
// Installs, once, an error handler that throws kdu_exception; the error sink is left alone.
void kdu_install_exception_handler();
