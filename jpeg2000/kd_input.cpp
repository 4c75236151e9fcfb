#include "kd_input.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "kdu_messages.h"

bool kd_input::load() {
  if (exhausted) return false;
  first_unread = first_unwritten = buffer + putback_room;
  if (!fill_buffer() || first_unwritten == first_unread) {
    exhausted = true;
    return false;
  }
  return true;
}

void kd_input::check_marker(uint8_t byte) {
  watch_markers = false;
  if (!reject_all_markers) {
    if (byte != 0x91 && byte != 0x90) {
      watch_markers = true;
      return;
    }
    uint8_t l1, l2;
    bool have1 = get_byte(l1);
    bool have2 = have1 && get_byte(l2);
    if (have2) putback(l2);
    if (have1) putback(l1);
    int length = have2 ? ((l1 << 8) | l2) : -1;
    if (length != ((byte == 0x91) ? 4 : 10)) {
      watch_markers = true;
      return;
    }
  }
  putback(byte);
  putback((uint8_t)0xFF);
  pending_ff = false;
  throw kd_marker_exception{(uint16_t)(0xFF00 | byte)};
}

// Copies (or with a null buffer skips) up to `count` bytes.
int kd_input::transfer(uint8_t *buf, int count) {
  int total = 0;
  if (count < 1) return 0;
  if (watch_markers) {
    uint8_t byte;
    while (total < count && get_byte(byte)) {
      if (buf != nullptr) buf[total] = byte;
      total++;
    }
    return total;
  }
  while (total < count) {
    if (first_unread == first_unwritten && !load()) break;
    int n = (int)(first_unwritten - first_unread);
    if (n > count - total) n = count - total;
    if (buf != nullptr) std::memcpy(buf + total, first_unread, (size_t)n);
    pending_ff = (first_unread[n - 1] == 0xFF);
    first_unread += n;
    total += n;
  }
  return total;
}

// ---------------------------------------------------------------------------------------------
void kd_compressed_input::set_budget(int64_t count) {
  clear_budget();
  if (count < 0) count = 0;
  int64_t buffered = first_unwritten - first_unread;
  if (buffered > count) {
    stash_count = (int)(buffered - count);
    std::memcpy(stash, first_unread + count, (size_t)stash_count);
    first_unwritten = first_unread + count;
    budget = 0;
  } else
    budget = (int)std::min<int64_t>(count - buffered, 0x7FFFFFFF);
  limited = true;
}

void kd_compressed_input::clear_budget() {
  if (!limited) return;
  first_unread = first_unwritten;  // drop what is left of the limited part
  while (budget > 0 && !source_ended) {
    uint8_t scrap[refill_size];
    int want = (budget < refill_size) ? budget : refill_size;
    int got = source->read(scrap, want);
    if (got <= 0)
      source_ended = true;
    else
      budget -= std::min(got, want);
  }
  limited = false;
  budget = 0x7FFFFFFF;
  first_unread = first_unwritten = buffer + putback_room;
  if (stash_count > 0) {
    std::memcpy(first_unwritten, stash, (size_t)stash_count);
    first_unwritten += stash_count;
    stash_count = 0;
  }
  exhausted = source_ended && first_unread == first_unwritten;
}

bool kd_compressed_input::fill_buffer() {
  if (budget < 1 || source == nullptr || source_ended) return false;
  int want = (budget < refill_size) ? budget : refill_size;
  int got = source->read(first_unwritten, want);
  if (got <= 0) {
    source_ended = true;
    return false;
  }
  if (got > want) got = want;
  budget -= got;
  first_unwritten += got;
  return true;
}

// ---------------------------------------------------------------------------------------------
struct kd_chunk_server::group {
  group *next;
  kd_buf_chunk chunks[200];
};

kd_chunk_server::~kd_chunk_server() {
  if (handed_out > 0) {
    kdu_warning w;
    w << "The compressed data buffer server is being destroyed before all allocated buffers "
         "have been returned.  The problem is most likely connected with a bug in the "
         "code-block destruction code.";
  }
  while (groups != nullptr) {
    group *next = groups->next;
    delete groups;
    groups = next;
  }
}

kd_buf_chunk *kd_chunk_server::take_chunk() {
  if (free_list == nullptr) {
    group *g = new group;
    g->next = groups;
    groups = g;
    for (int i = 0; i < 200; i++) {
      g->chunks[i].next = free_list;
      free_list = &g->chunks[i];
    }
    total_chunks += 200;
  }
  kd_buf_chunk *chunk = free_list;
  free_list = chunk->next;
  chunk->next = nullptr;
  if (++handed_out > peak) peak = handed_out;
  return chunk;
}

void kd_chunk_server::return_chunks(kd_buf_chunk *chain) {
  while (chain != nullptr) {
    kd_buf_chunk *next = chain->next;
    chain->next = free_list;
    free_list = chain;
    handed_out--;
    chain = next;
  }
}

// ---------------------------------------------------------------------------------------------
kd_pph_input::~kd_pph_input() { server->return_chunks(first); }

int kd_append_to_chunks(kd_chunk_server *server, kd_buf_chunk *&first, kd_buf_chunk *&last, int &write_pos,
                        const uint8_t *data, int count) {
  int total = 0;
  while (count > 0) {
    if (last == nullptr || write_pos == kd_buf_chunk::size) {
      kd_buf_chunk *chunk = server->take_chunk();
      if (last == nullptr)
        first = chunk;
      else
        last->next = chunk;
      last = chunk;
      write_pos = 0;
    }
    int n = kd_buf_chunk::size - write_pos;
    if (n > count) n = count;
    std::memcpy(last->data + write_pos, data, (size_t)n);
    write_pos += n;
    data += n;
    count -= n;
    total += n;
  }
  return total;
}

void kd_pph_input::append_bytes(const uint8_t *data, int count) {
  kd_append_to_chunks(server, first, last, write_pos, data, count);
  if (current == nullptr) current = first;
  exhausted = false;  // new bytes can be read again
}

bool kd_pph_input::fill_buffer() {
  int copied = 0;
  while (current != nullptr && copied < refill_size) {
    int end = (current == last) ? write_pos : kd_buf_chunk::size;
    int n = end - read_pos;
    if (n > refill_size - copied) n = refill_size - copied;
    if (n > 0) {
      std::memcpy(first_unwritten, current->data + read_pos, (size_t)n);
      first_unwritten += n;
      read_pos += n;
      copied += n;
    }
    if (read_pos < kd_buf_chunk::size) break;  // the last chunk is read to its write position
    if (current->next == nullptr) break;
    current = current->next;
    read_pos = 0;
  }
  return copied > 0;
}
