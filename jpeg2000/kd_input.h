// Byte level of the decoder: the compressed source, buffered byte inputs with put-back and the
// watch for marker codes inside packet data, and the store of compressed-data chunks.
#pragma once

#include <cstdint>

// Where the compressed bytes come from; the adapters implement it over their streams.
class kdu_compressed_source {
 public:
  virtual ~kdu_compressed_source() = default;
  // Reads at most num_bytes; returns the count read (0 at the end).
  virtual int read(uint8_t *buf, int num_bytes) = 0;
  virtual bool close() { return true; }
};

// A marker code found by the watch inside packet data.
struct kd_marker_exception {
  uint16_t code;
};

class kd_input {
 public:
  kd_input() = default;
  virtual ~kd_input() = default;
  kd_input(const kd_input &) = delete;
  kd_input &operator=(const kd_input &) = delete;

  bool get_byte(uint8_t &byte) {
    if (first_unread == first_unwritten && !load()) return false;
    byte = *first_unread++;
    if (watch_markers) {
      if (pending_ff && byte >= 0x90) check_marker(byte);
      pending_ff = (byte == 0xFF);
    }
    return true;
  }
  // Puts one byte back in front of the next unread one (at most 6 in a row).
  void putback(uint8_t byte) {
    if (first_unread > buffer) *--first_unread = byte;
  }
  void putback(uint16_t code) {
    putback((uint8_t)code);
    putback((uint8_t)(code >> 8));
  }
  int read_block(uint8_t *buf, int count) { return transfer(buf, count); }
  int skip(int count) { return transfer(nullptr, count); }
  bool failed() { return exhausted && first_unread == first_unwritten; }

  void enable_marker_watch(bool reject_all) {
    watch_markers = true;
    reject_all_markers = reject_all;
    pending_ff = false;
  }
  void disable_marker_watch() {
    watch_markers = false;
    if (exhausted && first_unread == first_unwritten) pending_ff = false;
  }
  bool last_byte_was_ff() const { return pending_ff; }
  bool is_watching() const { return watch_markers; }

 protected:
  // Fills the buffer after its six free bytes; false when nothing more can be had.
  virtual bool fill_buffer() = 0;
  static constexpr int putback_room = 6;
  static constexpr int refill_size = 506;
  uint8_t buffer[putback_room + refill_size];
  uint8_t *first_unread = buffer + putback_room;
  uint8_t *first_unwritten = buffer + putback_room;
  bool exhausted = false;

 private:
  bool load();
  void check_marker(uint8_t byte);
  int transfer(uint8_t *buf, int count);
  bool watch_markers = false;
  bool pending_ff = false;
  bool reject_all_markers = false;
};

class kd_compressed_input : public kd_input {
 public:
  explicit kd_compressed_input(kdu_compressed_source *source) : source(source) {}
  // Limits the input to the next `count` bytes (the body of a tile-part): afterwards it reads as
  // exhausted until clear_budget() skips what is left of them and lifts the limit.
  void set_budget(int64_t count);
  void clear_budget();
  // True when the input is exhausted because its budget ran out, not the source.
  bool budget_exhausted() { return limited && failed() && !source_ended; }

 protected:
  bool fill_buffer() override;

 private:
  kdu_compressed_source *source;
  int budget = 0x7FFFFFFF;
  bool limited = false;
  bool source_ended = false;
  uint8_t stash[refill_size];  // buffered bytes beyond the budget
  int stash_count = 0;
};

struct kd_buf_chunk {
  static constexpr int size = 28;
  kd_buf_chunk *next;
  uint8_t data[size];
};

class kd_chunk_server;

// Appends bytes to a chain of chunks (first, last, write position in the last), taking new
// chunks from the server; returns the count appended.
int kd_append_to_chunks(kd_chunk_server *server, kd_buf_chunk *&first, kd_buf_chunk *&last, int &write_pos,
                        const uint8_t *data, int count);

class kd_chunk_server {
 public:
  kd_chunk_server() = default;
  ~kd_chunk_server();
  kd_chunk_server(const kd_chunk_server &) = delete;
  kd_chunk_server &operator=(const kd_chunk_server &) = delete;
  kd_buf_chunk *take_chunk();
  // Gives back a chain of chunks linked through their next pointers.
  void return_chunks(kd_buf_chunk *chain);
  int get_handed_out() const { return handed_out; }
  int use_count = 1;

 private:
  struct group;
  group *groups = nullptr;
  kd_buf_chunk *free_list = nullptr;
  int total_chunks = 0, handed_out = 0, peak = 0;
};

// Packed packet headers of PPM and PPT segments, held in chunks.
class kd_pph_input : public kd_input {
 public:
  explicit kd_pph_input(kd_chunk_server *server) : server(server) {}
  ~kd_pph_input() override;
  void append_bytes(const uint8_t *data, int count);

 protected:
  bool fill_buffer() override;

 private:
  kd_chunk_server *server;
  kd_buf_chunk *first = nullptr, *current = nullptr, *last = nullptr;
  int read_pos = 0, write_pos = 0;
};
