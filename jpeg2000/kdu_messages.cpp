#include "kdu_messages.h"

#include <cstdlib>
#include <cstring>

namespace {
std::ostream *warning_sink = nullptr;
kdu_message_handler warning_handler = nullptr;
std::ostream *error_sink = nullptr;
kdu_message_handler error_handler = nullptr;

void throw_kdu_exception() { throw kdu_exception(); }
}  // namespace

void kdu_customize_errors(std::ostream *sink, kdu_message_handler handler) {
  error_sink = sink;
  error_handler = handler;
}

void kdu_customize_warnings(std::ostream *sink, kdu_message_handler handler) {
  warning_sink = sink;
  warning_handler = handler;
}

void kdu_install_exception_handler() {
  if (error_handler != throw_kdu_exception) error_handler = throw_kdu_exception;
}

// ---------------------------------------------------------------------------------------------
kdu_pretty_buf::kdu_pretty_buf(std::ostream *sink) : sink(sink) {}

void kdu_pretty_buf::fill_indent(int count) {
  for (int i = 0; i < count && line_length < max_line_width + 1; i++) line_buf[line_length++] = ' ';
}

void kdu_pretty_buf::put_line() {
  sink->write(line_buf, line_length);
  sink->put('\n');
}

void kdu_pretty_buf::change_indent(int new_indent) {
  if (new_indent > max_indent) new_indent = max_indent;
  int delta = new_indent - indent;
  indent = new_indent;
  if (delta > 0) {
    if (line_length + delta > max_line_width) delta = max_line_width - line_length;
    std::memmove(line_buf + delta, line_buf, (size_t)line_length);
    std::memset(line_buf, ' ', (size_t)delta);
    line_length += delta;
  } else if (delta < 0) {
    int lead = 0;
    while (lead < line_length && line_buf[lead] == ' ') lead++;
    int cut = (-delta < lead) ? -delta : lead;
    std::memmove(line_buf, line_buf + cut, (size_t)(line_length - cut));
    line_length -= cut;
  }
}

kdu_pretty_buf::int_type kdu_pretty_buf::overflow(int_type ch) {
  if (ch == traits_type::eof()) return traits_type::not_eof(ch);
  if (sink == nullptr) return ch;
  char c = traits_type::to_char_type(ch);
  if (c == '\t' && at_line_start) {
    int add = 4;
    if (master_indent + indent + add > max_indent) add = max_indent - master_indent - indent;
    if (add > 0) {
      master_indent += add;
      fill_indent(add);
    }
    return ch;
  }
  if (c == '\n') {
    at_line_start = true;
    master_indent = 0;
    put_line();
    line_length = 0;
    fill_indent(indent);
    return ch;
  }
  if (c == '\t') c = ' ';
  line_buf[line_length++] = c;
  at_line_start = false;
  if (line_length <= max_line_width) return ch;

  // Break the over-long line at the last space after its indentation, else at column 79.
  int lead = 0;
  while (lead < line_length && line_buf[lead] == ' ') lead++;
  int brk = line_length - 1;
  while (brk > lead && line_buf[brk] != ' ') brk--;
  if (brk <= lead) brk = max_line_width;
  sink->write(line_buf, brk);
  sink->put('\n');
  int rest = brk;
  while (rest < line_length && line_buf[rest] == ' ') rest++;
  char left[max_line_width + 2];
  int left_length = line_length - rest;
  std::memcpy(left, line_buf + rest, (size_t)left_length);
  line_length = 0;
  fill_indent(master_indent + indent);
  for (int i = 0; i < left_length && line_length <= max_line_width; i++) line_buf[line_length++] = left[i];
  return ch;
}

int kdu_pretty_buf::sync() {
  if (sink == nullptr) return 0;
  bool has_text = false;
  for (int i = 0; i < line_length; i++)
    if (line_buf[i] != ' ') has_text = true;
  if (has_text) {
    put_line();
    line_length = 0;
    fill_indent(master_indent + indent);
    at_line_start = true;
  }
  sink->flush();
  if (sink->fail()) sink->setstate(std::ios::badbit);
  return 0;
}

// ---------------------------------------------------------------------------------------------
kdu_message::kdu_message(std::ostream *sink, const char *heading) : buf(sink), out(&buf) {
  out << heading;
  buf.change_indent(4);
}

kdu_error::kdu_error() : kdu_message(error_sink, "Zizeve Error:\n"), uncaught_at_start(std::uncaught_exceptions()) {}

kdu_error::~kdu_error() noexcept(false) {
  out.flush();
  if (error_handler == nullptr) std::exit(-1);
  // An error raised while another exception unwinds the stack is not delivered: a throwing
  // handler would terminate the program.
  if (std::uncaught_exceptions() > uncaught_at_start) return;
  error_handler();
}

kdu_warning::kdu_warning() : kdu_message(warning_sink, "Zizeve Warning:\n") {}

kdu_warning::~kdu_warning() {
  out.flush();
  if (warning_handler != nullptr) warning_handler();
}
