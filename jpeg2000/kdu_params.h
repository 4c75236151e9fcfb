// Parameter attributes of a code-stream.
//
// Every coding parameter is held in a tree of kdu_params objects: one cluster per marker family
// (SIZ, COD, QCD, RGN, POC, CRG), and inside a cluster one object per tile (-1 for the main
// header), per component inside each tile (-1 for the tile's defaults) and per instance.  Each
// object carries named attributes whose values are typed fields grouped in records; a value that
// a tile or component object lacks is inherited from the defaults above it.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "kd_byte_writer.h"

constexpr int ATTR_MANY_RECORDS = 1;
constexpr int ATTR_EXTEND_LAST_RECORD = 2;
constexpr int ATTR_NO_COMPONENT_VALUES = 4;

struct kd_attribute_field {
  union {
    int ival;
    float fval;
  };
  const char *pattern;  // this field's specifier inside the attribute's pattern
  bool is_set;
};

struct kd_param_attribute {
  kd_param_attribute(const char *name, const char *description, int flags, const char *pattern);

  // Makes at least n records available (n beyond the capacity needs ATTR_MANY_RECORDS).
  void augment_records(int n);
  kd_attribute_field &field(int record, int fld) { return values[(size_t)(record * num_fields + fld)]; }
  // The specifier of field `fld` inside the pattern.
  const char *spec(int fld) const { return specs[fld]; }

  const char *name;
  const char *description;
  uint32_t flags;
  const char *pattern;
  int num_fields = 0;
  int num_records = 0;
  // The field specifiers, parsed once per pattern and shared by every attribute with it.
  const char *const *specs = nullptr;
  // capacity x num_fields, row by row; made when the first value is set, so that objects
  // whose attributes are never given values (the tiles without marker segments of their own)
  // stay small.
  std::vector<kd_attribute_field> values;
  int max_records = 1;
  bool derived = false;
  bool parsed = false;
  kd_param_attribute *next = nullptr;
};

class kdu_params {
 public:
  kdu_params(const char *cluster_name, bool tile_specific, bool comp_specific, bool allow_instances);
  virtual ~kdu_params();
  kdu_params(const kdu_params &) = delete;
  kdu_params &operator=(const kdu_params &) = delete;

  // Creates and links the next instance of this object's slot; null where a family has one.
  virtual kdu_params *make_instance() = 0;
  // Fills this object from `source` (same class), dropping the first `skip_components`
  // components and the `discard_levels` highest resolutions, optionally transposed or flipped.
  virtual void copy_transformed(kdu_params *source, int skip_components, int discard_levels, bool transpose, bool vflip,
                                bool hflip) = 0;
  // Writes this object's marker segment to `out` (or, with null, only measures it) and returns
  // its whole length, marker included; 0 when there is nothing to write.  `ref` is an object of
  // the same class whose segment precedes this one; values that repeat it are not written.
  virtual int write_segment(kd_byte_writer *out, kdu_params *ref, int tpart_idx) {
    (void)out, (void)ref, (void)tpart_idx;
    return 0;
  }
  // Offers one marker segment body; true when this object took it.
  virtual bool read_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tpart_idx);
  // Completes derived values.
  virtual void finalize() {}

  // Places this (new) object into the tree of `existing` for the given tile and component.
  kdu_params *join_tree(kdu_params *existing, int tile_idx, int comp_idx);

  bool get_value(const char *name, int record_idx, int field_idx, int &value, bool allow_inherit = true,
                 bool allow_extend = true, bool allow_derived = true);
  bool get_value(const char *name, int record_idx, int field_idx, bool &value, bool allow_inherit = true,
                 bool allow_extend = true, bool allow_derived = true);
  bool get_value(const char *name, int record_idx, int field_idx, float &value, bool allow_inherit = true,
                 bool allow_extend = true, bool allow_derived = true);
  void set_value(const char *name, int record_idx, int field_idx, int value);
  void set_value(const char *name, int record_idx, int field_idx, bool value);
  void set_value(const char *name, int record_idx, int field_idx, float value);
  void set_value(const char *name, int record_idx, int field_idx, double value) {
    set_value(name, record_idx, field_idx, (float)value);
  }
  void set_derived(const char *name);

  void print_attributes(std::ostream &out, bool skip_derived);
  void print_attributes(std::ostream &out, int min_tile, int max_tile, bool skip_derived);
  void delete_unparsed_attribute(const char *name);

  // Offers a marker segment to every object of the tree for the given tile; true when taken.
  bool route_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tile_idx, int tpart_idx);

  // The object of this tree for (cluster, tile, component, instance), or null.
  kdu_params *access_cluster(const char *cluster_name);
  kdu_params *access_relation(int tile_idx, int comp_idx, int inst_idx = 0);

  const char *identify_cluster() const { return cluster_name; }
  int get_instance() const { return inst_idx; }
  int get_num_comps() const { return num_comps; }
  int get_tile() const { return tile_idx; }
  int get_comp() const { return comp_idx; }
  bool is_marked() const { return marked; }
  // False while the object has never been given a value of its own.
  bool holds_values() const { return !shared_attributes; }

 protected:
  void add_attribute(const char *name, const char *description, int flags, const char *pattern);

  const char *cluster_name;
  int tile_idx = -1;
  int comp_idx = -1;
  int inst_idx = 0;
  bool tile_specific;
  bool comp_specific;
  bool allow_instances;

 private:
  kd_param_attribute *find_attribute(const char *name);
  kd_attribute_field *find_field(const char *name, int record_idx, int field_idx, bool allow_inherit, bool allow_extend,
                                 bool allow_derived, kd_param_attribute **attr_out);
  kd_param_attribute *check_get(const char *name, int field_idx);
  kd_attribute_field *checked_get(const char *name, int record_idx, int field_idx, char form, const char *mismatch,
                                  bool allow_inherit, bool allow_extend, bool allow_derived);
  kd_param_attribute *check_set(const char *name, int field_idx);
  kd_attribute_field &make_field(kd_param_attribute *attr, int record_idx, int field_idx);
  kdu_params *cluster_head();
  void delete_unparsed_in(const char *name, bool tiles, bool comps);
  kdu_params *find_tile_head(int tile);  // on a cluster head

  kdu_params *first_cluster, *next_cluster = nullptr;
  kdu_params *first_tile, *next_tile = nullptr;
  kdu_params *first_comp, *next_comp = nullptr;
  kdu_params *first_inst, *next_inst = nullptr;
  int num_comps = 0;
  std::vector<kdu_params *> tile_index;  // cluster heads only: tile head of tile t at t + 1
  // The attributes, with their values. Until its first value is set an object reads the
  // pristine list of its class (kept once for the program) instead of a copy of its own: a
  // tile without marker segments of its own costs little.
  kd_param_attribute *attributes = nullptr;
  bool shared_attributes = false;
  bool building_class_list = false;            // the first object of its class
  kd_param_attribute *class_cursor = nullptr;  // next attribute the constructor should add
  void own_attributes();
  bool marked = false;
};

// Thrown by read_big_endian when a segment holds fewer bytes than a field needs.
struct kd_short_segment {
  const uint8_t *at;
};

// Reads num_bytes (1 to 4) most significant first and advances the cursor.
uint32_t read_big_endian(const uint8_t *&bp, const uint8_t *end, int num_bytes);

// Smallest k >= 0 with 2^k >= v (k at most 30); `exact` tells whether 2^k equals v.
int ceil_log2(int v, bool &exact);

// Splits a quantisation step into its exponent and 11-bit mantissa.
void split_step_size(float step, int &exponent, int &mantissa);

// Fills "Qabs_steps" of a QCD object with steps derived from a base step.
void expand_base_step(kdu_params *qcd, int num_levels, int kernel_id, float base_step, bool ll_only);
