#include "kdu_params.h"

#include <cmath>
#include <cstring>
#include <string>

#include "kdu_kernels.h"
#include "kdu_messages.h"

namespace {

// Parses one translator entry "NAME=INTEGER" that starts at `entry` and is followed by `sep`
// or a closing bracket.  Delivers the name and value; returns the character after the integer.
const char *parse_translator_entry(const char *entry, char sep, char *name, int &value) {
  int n = 0;
  const char *cp = entry;
  for (; *cp != '='; cp++, n++) {
    if (*cp == sep || *cp == ')' || *cp == ']' || *cp == '\0') {
      kdu_error e;
      e << "String translators in code-stream attribute specifications must contain an '=' "
           "sign! Problem encountered at: \""
        << entry << "\".";
    }
    if (n == 79) {
      kdu_error e;
      e << "String translators in code-stream attribute specifications may not exceed " << 79
        << " characters in length! Problem encountered at: \"" << entry << "\".";
    }
    name[n] = *cp;
  }
  name[n] = '\0';
  cp++;
  const char *digits = cp;
  bool negative = (*cp == '-');
  if (negative) cp++;
  long long v = 0;
  bool any = false;
  for (; *cp >= '0' && *cp <= '9'; cp++, any = true)
    if (v < 0x7FFFFFFF) v = v * 10 + (*cp - '0');
  if (!any || (*cp != sep && *cp != ')' && *cp != ']')) {
    kdu_error e;
    e << "String translators in code-stream attribute specifications must be identified with "
         "integers and correctly delimited! Problem encountered at: \""
      << digits << "\".";
  }
  value = (int)(negative ? -v : v);
  return cp;
}

// Skips a bracketed specifier starting at `cp` (which points at the opening bracket); returns
// the character after the closing bracket, or null when there is none.
const char *skip_bracket(const char *cp) {
  char close = (*cp == '(') ? ')' : ']';
  for (cp++; *cp != '\0'; cp++)
    if (*cp == close) return cp + 1;
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
kd_param_attribute::kd_param_attribute(const char *name, const char *description, int flags, const char *pattern)
    : name(name), description(description), flags((uint32_t)flags), pattern(pattern) {
  // Patterns are string constants of the parameter classes: each is split into its field
  // specifiers once, on first use, and the result kept for the life of the program.
  // A pattern is recognised by its address and its text, so that a string at a reused
  // address is parsed afresh.
  struct parsed_pattern {
    const char *pattern;
    std::string text;
    std::vector<const char *> specs;
  };
  static std::vector<parsed_pattern> cache;
  for (const parsed_pattern &p : cache)
    if (p.pattern == pattern && p.text == pattern) {
      specs = p.specs.data();
      num_fields = (int)p.specs.size();
      return;
    }
  std::vector<const char *> found;
  for (const char *cp = pattern; *cp != '\0';) {
    found.push_back(cp);
    if (*cp == 'I' || *cp == 'F' || *cp == 'B')
      cp++;
    else if (*cp == '(' || *cp == '[') {
      cp = skip_bracket(cp);
      if (cp == nullptr) throw pattern;
    } else
      throw pattern;  // a specifier without a closing character
  }
  // Growing the cache moves the inner vectors, not their storage: earlier pointers stay valid.
  for (parsed_pattern &p : cache)
    if (p.pattern == pattern) {
      p.text = pattern;
      p.specs = found;
      specs = p.specs.data();
      num_fields = (int)found.size();
      return;
    }
  cache.push_back({pattern, pattern, found});
  specs = cache.back().specs.data();
  num_fields = (int)found.size();
}

void kd_param_attribute::augment_records(int n) {
  if (n <= num_records) return;
  if (values.empty()) {
    values.resize((size_t)num_fields);
    for (int f = 0; f < num_fields; f++) {
      values[(size_t)f].ival = 0;
      values[(size_t)f].pattern = specs[f];
      values[(size_t)f].is_set = false;
    }
  }
  if (n <= max_records) {
    num_records = n;
    return;
  }
  if (!(flags & ATTR_MANY_RECORDS)) {
    kdu_error e;
    e << "Attempting to write multiple records to a code-stream attribute, \"" << name
      << "\", which can accept only single attributes!";
  }
  int old_max = max_records;
  max_records = n + old_max;
  values.resize((size_t)max_records * (size_t)num_fields);
  for (int r = old_max; r < max_records; r++)
    for (int f = 0; f < num_fields; f++) {
      kd_attribute_field &fld = values[(size_t)(r * num_fields + f)];
      fld = values[(size_t)((old_max - 1) * num_fields + f)];
      fld.is_set = false;
    }
  num_records = n;
}

// ---------------------------------------------------------------------------------------------
kdu_params::kdu_params(const char *cluster_name, bool tile_specific, bool comp_specific, bool allow_instances)
    : cluster_name(cluster_name),
      tile_specific(tile_specific),
      comp_specific(comp_specific),
      allow_instances(allow_instances),
      first_cluster(this),
      first_tile(this),
      first_comp(this),
      first_inst(this) {}

void kdu_params::add_attribute(const char *name, const char *description, int flags, const char *pattern) {
  // Each class's first object builds the class's pristine list as its constructor adds the
  // attributes; later objects of the class only check that they add the same sequence.
  struct class_list {
    const char *cluster;
    kd_param_attribute *head;
  };
  // Kept for the life of the program (never destroyed, so that the lists stay reachable).
  static std::vector<class_list> &classes = *new std::vector<class_list>;
  if (attributes == nullptr && !shared_attributes) {
    class_list *found = nullptr;
    for (class_list &c : classes)
      if (std::strcmp(c.cluster, cluster_name) == 0) found = &c;
    if (found == nullptr) {
      classes.push_back({cluster_name, new kd_param_attribute(name, description, flags, pattern)});
      attributes = classes.back().head;
      shared_attributes = true;
      building_class_list = true;
      class_cursor = nullptr;
      return;
    }
    attributes = found->head;
    shared_attributes = true;
    class_cursor = found->head;
  }
  if (shared_attributes) {
    if (class_cursor != nullptr && std::strcmp(class_cursor->name, name) == 0 && class_cursor->pattern == pattern &&
        class_cursor->description == description && class_cursor->flags == (uint32_t)flags) {
      class_cursor = class_cursor->next;
      return;
    }
    if (building_class_list) {
      kd_param_attribute *tail = attributes;
      while (tail->next != nullptr) tail = tail->next;
      tail->next = new kd_param_attribute(name, description, flags, pattern);
      return;
    }
    own_attributes();  // an object that departs from its class's list keeps its own
  }
  kd_param_attribute *attr = new kd_param_attribute(name, description, flags, pattern);
  kd_param_attribute **tail = &attributes;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = attr;
}

void kdu_params::own_attributes() {
  if (!shared_attributes) return;
  kd_param_attribute *shared = attributes;
  attributes = nullptr;
  shared_attributes = false;
  building_class_list = false;
  kd_param_attribute **tail = &attributes;
  // Only the attributes that the constructor has added so far.
  for (kd_param_attribute *a = shared; a != nullptr && a != class_cursor; a = a->next) {
    *tail = new kd_param_attribute(a->name, a->description, (int)a->flags, a->pattern);
    tail = &(*tail)->next;
  }
  class_cursor = nullptr;
}

kdu_params::~kdu_params() {
  if (shared_attributes) attributes = nullptr;
  while (attributes != nullptr) {
    kd_param_attribute *next = attributes->next;
    delete attributes;
    attributes = next;
  }

  // Instances, then components, then tiles, then clusters.  A member of a list unlinks itself;
  // the head of a list destroys the other members, which then free their own lower lists.
  kdu_params *kdu_params::*head_of[4] = {&kdu_params::first_inst, &kdu_params::first_comp, &kdu_params::first_tile,
                                         &kdu_params::first_cluster};
  kdu_params *kdu_params::*next_of[4] = {&kdu_params::next_inst, &kdu_params::next_comp, &kdu_params::next_tile,
                                         &kdu_params::next_cluster};
  for (int list = 0; list < 4; list++) {
    kdu_params *head = this->*head_of[list];
    if (head == nullptr) return;
    if (head != this) {
      if (list == 2 && tile_idx + 1 >= 0 && (size_t)(tile_idx + 1) < head->tile_index.size() &&
          head->tile_index[(size_t)(tile_idx + 1)] == this)
        head->tile_index[(size_t)(tile_idx + 1)] = nullptr;
      kdu_params *prev = head;
      while (prev->*next_of[list] != nullptr && prev->*next_of[list] != this) prev = prev->*next_of[list];
      if (prev->*next_of[list] == this) prev->*next_of[list] = this->*next_of[list];
      return;
    }
    kdu_params *member = this->*next_of[list];
    this->*next_of[list] = nullptr;
    while (member != nullptr) {
      kdu_params *next = member->*next_of[list];
      member->*head_of[list] = nullptr;
      member->*next_of[list] = nullptr;
      delete member;
      member = next;
    }
  }
}

bool kdu_params::read_segment(uint16_t, int, const uint8_t *, int) { return false; }

kdu_params *kdu_params::join_tree(kdu_params *existing, int tile, int comp) {
  tile_idx = tile;
  comp_idx = comp;
  if (existing == nullptr) return this;
  kdu_params *head = existing->cluster_head()->first_cluster;
  if (head == nullptr) return this;

  kdu_params *cluster = head, *last_cluster = nullptr;
  for (; cluster != nullptr; last_cluster = cluster, cluster = cluster->next_cluster)
    if (std::strcmp(cluster->cluster_name, cluster_name) == 0) break;
  if (cluster == nullptr) {
    last_cluster->next_cluster = this;
    first_cluster = head;
    return this;
  }
  first_cluster = nullptr;

  kdu_params *t = cluster->find_tile_head(tile);
  if (t == nullptr) {
    // Insert after the tile head with the largest smaller index (the cluster head at worst).
    // Tiles usually come in order: the tile just before is the place; otherwise walk the list
    // (released tiles leave gaps in the index that a backward search would have to cross).
    kdu_params *prev_t = cluster->find_tile_head(tile - 1);
    if (prev_t == nullptr) {
      prev_t = cluster;
      while (prev_t->next_tile != nullptr && prev_t->next_tile->tile_idx < tile) prev_t = prev_t->next_tile;
    }
    if (prev_t->tile_idx > tile)  // never ahead of the cluster head
      prev_t = cluster;
    first_tile = cluster;
    next_tile = prev_t->next_tile;
    prev_t->next_tile = this;
    if (tile + 1 >= 0) {
      if (cluster->tile_index.size() <= (size_t)(tile + 1)) cluster->tile_index.resize((size_t)(tile + 2), nullptr);
      cluster->tile_index[(size_t)(tile + 1)] = this;
    }
    if (comp >= 0) num_comps = 1;
    return this;
  }
  first_tile = nullptr;

  kdu_params *c = t, *prev_c = nullptr;
  for (; c != nullptr && c->comp_idx < comp; prev_c = c, c = c->next_comp) {
  }
  if (c == nullptr || c->comp_idx != comp) {
    if (prev_c == nullptr) {
      prev_c = t;
    }
    first_comp = t;
    next_comp = prev_c->next_comp;
    prev_c->next_comp = this;
    num_comps = prev_c->num_comps;
    if (comp >= 0)
      for (kdu_params *m = t; m != nullptr; m = m->next_comp) m->num_comps++;
    return this;
  }
  first_comp = nullptr;

  kdu_params *last = c;
  while (last->next_inst != nullptr) last = last->next_inst;
  first_inst = c;
  inst_idx = last->inst_idx + 1;
  num_comps = c->num_comps;
  last->next_inst = this;
  return this;
}

kdu_params *kdu_params::cluster_head() {
  kdu_params *p = this;
  if (p->first_inst != nullptr) p = p->first_inst;
  if (p->first_comp != nullptr) p = p->first_comp;
  if (p->first_tile != nullptr) p = p->first_tile;
  return p;
}

kdu_params *kdu_params::access_cluster(const char *name) {
  kdu_params *head = cluster_head()->first_cluster;
  for (kdu_params *c = head; c != nullptr; c = c->next_cluster)
    if (std::strcmp(c->cluster_name, name) == 0) return c;
  return nullptr;
}

kdu_params *kdu_params::find_tile_head(int tile) {
  if (tile == tile_idx) return this;
  if (tile + 1 < 0 || (size_t)(tile + 1) >= tile_index.size()) return nullptr;
  return tile_index[(size_t)(tile + 1)];
}

kdu_params *kdu_params::access_relation(int tile, int comp, int inst) {
  kdu_params *t = cluster_head()->find_tile_head(tile);
  kdu_params *c = t;
  while (c != nullptr && c->comp_idx != comp) c = c->next_comp;
  kdu_params *i = c;
  while (i != nullptr && i->inst_idx != inst) i = i->next_inst;
  return i;
}

// ---------------------------------------------------------------------------------------------
kd_param_attribute *kdu_params::find_attribute(const char *name) {
  for (kd_param_attribute *a = attributes; a != nullptr; a = a->next)
    if (std::strcmp(a->name, name) == 0) return a;
  return nullptr;
}

kd_param_attribute *kdu_params::check_get(const char *name, int field_idx) {
  kd_param_attribute *attr = find_attribute(name);
  if (attr == nullptr) {
    kdu_error e;
    e << "Attempt to access a code-stream attribute using the invalid name, \"" << name << "\"!";
  }
  if (field_idx < 0 || field_idx >= attr->num_fields) {
    kdu_error e;
    e << "Attempt to access a code-stream attribute, with an invalid field index!\n"
      << "The attribute name is \"" << name << "\".\n"
      << "The field index is " << field_idx << ".";
  }
  return attr;
}

kd_attribute_field *kdu_params::find_field(const char *name, int record_idx, int field_idx, bool allow_inherit,
                                           bool allow_extend, bool allow_derived, kd_param_attribute **attr_out) {
  kd_param_attribute *attr = find_attribute(name);
  if (attr_out != nullptr) *attr_out = attr;
  if (attr == nullptr) return nullptr;
  if (attr->num_records > 0 && (!attr->derived || allow_derived)) {
    if (record_idx >= attr->num_records && allow_extend && (attr->flags & ATTR_EXTEND_LAST_RECORD))
      record_idx = attr->num_records - 1;
    if (record_idx < 0 || record_idx >= attr->num_records) return nullptr;
    kd_attribute_field &fld = attr->field(record_idx, field_idx);
    return fld.is_set ? &fld : nullptr;
  }
  if (!allow_inherit || inst_idx != 0) return nullptr;
  if (comp_idx != -1) {
    kdu_params *defaults = access_relation(tile_idx, -1, 0);
    if (defaults != nullptr && defaults != this) {
      kd_attribute_field *fld =
          defaults->find_field(name, record_idx, field_idx, false, allow_extend, allow_derived, nullptr);
      if (fld != nullptr) return fld;
    }
  }
  if (tile_idx != -1) {
    kdu_params *main_obj = access_relation(-1, comp_idx, 0);
    if (main_obj != nullptr && main_obj != this)
      return main_obj->find_field(name, record_idx, field_idx, true, allow_extend, allow_derived, nullptr);
  }
  return nullptr;
}

// Finds the field that a get delivers after checking the access form: `form` 'I' accepts every
// specifier but "F", 'B' only "B" and 'F' only "F"; a mismatch raises `mismatch`.
kd_attribute_field *kdu_params::checked_get(const char *name, int record_idx, int field_idx, char form,
                                            const char *mismatch, bool allow_inherit, bool allow_extend,
                                            bool allow_derived) {
  kd_param_attribute *attr = check_get(name, field_idx);
  char spec = *attr->spec(field_idx);
  if ((form == 'I') ? (spec == 'F') : (spec != form)) {
    kdu_error e;
    e << mismatch << "The attribute name is \"" << name << "\".";
  }
  return find_field(name, record_idx, field_idx, allow_inherit, allow_extend, allow_derived, nullptr);
}

bool kdu_params::get_value(const char *name, int record_idx, int field_idx, int &value, bool allow_inherit,
                           bool allow_extend, bool allow_derived) {
  kd_attribute_field *fld =
      checked_get(name, record_idx, field_idx, 'I',
                  "Attempting to access a floating point code-stream attribute field with the integer "
                  "access method!\n",
                  allow_inherit, allow_extend, allow_derived);
  if (fld != nullptr) value = fld->ival;
  return fld != nullptr;
}

bool kdu_params::get_value(const char *name, int record_idx, int field_idx, bool &value, bool allow_inherit,
                           bool allow_extend, bool allow_derived) {
  kd_attribute_field *fld =
      checked_get(name, record_idx, field_idx, 'B',
                  "Attempting to access a non-boolean code-stream attribute field with the boolean access "
                  "method!\n",
                  allow_inherit, allow_extend, allow_derived);
  if (fld != nullptr) value = (fld->ival != 0);
  return fld != nullptr;
}

bool kdu_params::get_value(const char *name, int record_idx, int field_idx, float &value, bool allow_inherit,
                           bool allow_extend, bool allow_derived) {
  kd_attribute_field *fld =
      checked_get(name, record_idx, field_idx, 'F',
                  "Attempting to access an integer code-stream parameter attribute field with the floating "
                  "point access method!\n",
                  allow_inherit, allow_extend, allow_derived);
  if (fld != nullptr) value = fld->fval;
  return fld != nullptr;
}

// ---------------------------------------------------------------------------------------------
kd_param_attribute *kdu_params::check_set(const char *name, int field_idx) {
  own_attributes();
  kd_param_attribute *attr = find_attribute(name);
  if (attr == nullptr) {
    kdu_error e;
    e << "Attempt to set a code-stream attribute using the invalid name, \"" << name << "\"!";
  }
  if ((attr->flags & ATTR_NO_COMPONENT_VALUES) && comp_idx != -1) {
    kdu_error e;
    e << "Attempt to set a non-tile-specific code-stream attribute in a specific component!\n"
      << "The attribute name is \"" << name << "\".";
  }
  if (field_idx < 0 || field_idx >= attr->num_fields) {
    kdu_error e;
    e << "Attempt to set a code-stream attribute, with an invalid field index!\n"
      << "The attribute name is \"" << name << "\".\n"
      << "The field index is " << field_idx << ".";
  }
  return attr;
}

kd_attribute_field &kdu_params::make_field(kd_param_attribute *attr, int record_idx, int field_idx) {
  if (record_idx < 0) record_idx = 0;
  if (record_idx >= attr->num_records) attr->augment_records(record_idx + 1);
  return attr->field(record_idx, field_idx);
}

void kdu_params::set_value(const char *name, int record_idx, int field_idx, int value) {
  kd_param_attribute *attr = check_set(name, field_idx);
  const char *spec = attr->spec(field_idx);
  if (*spec == 'F') {
    kdu_error e;
    e << "Attempting to set a floating point code-stream parameter attribute field with the "
         "integer access method!\n"
      << "The attribute name is \"" << name << "\".";
  } else if (*spec == 'B') {
    if (value != 0 && value != 1) {
      kdu_error e;
      e << "Attempting to set a boolean code-stream parameter attribute field with an integer "
           "not equal to 0 or 1!\n"
        << "The attribute name is \"" << name << "\".";
    }
  } else if (*spec == '(') {
    char buf[80];
    int v;
    const char *cp = spec + 1;
    bool found = false;
    while (!found) {
      cp = parse_translator_entry(cp, ',', buf, v);
      if (v == value)
        found = true;
      else if (*cp == ',')
        cp++;
      else
        break;
    }
    if (!found) {
      kdu_error e;
      e << "Attempting to set a code-stream attribute field using an integer value which does "
           "not match any of the defined translation values for the field!\n"
        << "The attribute name is \"" << name << "\".";
    }
  } else if (*spec == '[') {
    char buf[80];
    int v, acc = 0;
    const char *cp = spec + 1;
    for (;;) {
      cp = parse_translator_entry(cp, '|', buf, v);
      if ((value & v) == v) acc |= v;
      if (*cp != '|') break;
      cp++;
    }
    if (acc != value) {
      kdu_error e;
      e << "Attempting to set a code-stream attribute field using an integer value which is "
           "incompatible with the flags defined for the field!\n"
        << "The attribute name is \"" << name << "\".";
    }
  }
  kd_attribute_field &fld = make_field(attr, record_idx, field_idx);
  fld.ival = value;
  fld.is_set = true;
}

void kdu_params::set_value(const char *name, int record_idx, int field_idx, bool value) {
  kd_param_attribute *attr = check_set(name, field_idx);
  if (*attr->spec(field_idx) != 'B') {
    kdu_error e;
    e << "Attempting to set a non-boolean code-stream parameter attribute field with the "
         "boolean access method!\n"
      << "The attribute name is \"" << name << "\".";
  }
  kd_attribute_field &fld = make_field(attr, record_idx, field_idx);
  fld.ival = value ? 1 : 0;
  fld.is_set = true;
}

void kdu_params::set_value(const char *name, int record_idx, int field_idx, float value) {
  kd_param_attribute *attr = check_set(name, field_idx);
  if (*attr->spec(field_idx) != 'F') {
    kdu_error e;
    e << "Attempting to set an integer code-stream parameter attribute field with the floating "
         "point access method!\n"
      << "The attribute name is \"" << name << "\".";
  }
  kd_attribute_field &fld = make_field(attr, record_idx, field_idx);
  fld.fval = value;
  fld.is_set = true;
}

void kdu_params::set_derived(const char *name) {
  own_attributes();
  kd_param_attribute *attr = find_attribute(name);
  if (attr == nullptr) {
    kdu_error e;
    e << "Invalid attribute name, \"" << name << "\", supplied to the `kdu_params::set_derived' function.";
  }
  attr->derived = true;
}

// ---------------------------------------------------------------------------------------------
void kdu_params::print_attributes(std::ostream &out, bool skip_derived) {
  for (kd_param_attribute *attr = attributes; attr != nullptr; attr = attr->next) {
    if (attr->num_records == 0 || (skip_derived && attr->derived)) continue;
    out << attr->name;
    if (comp_idx >= 0 || tile_idx >= 0) {
      out << ":";
      if (tile_idx >= 0) out << "T" << tile_idx;
      if (comp_idx >= 0) out << "C" << comp_idx;
    }
    out << "=";
    for (int r = 0; r < attr->num_records; r++) {
      if (r > 0) out << ",";
      if (attr->num_fields > 1) out << "{";
      for (int f = 0; f < attr->num_fields; f++) {
        kd_attribute_field &fld = attr->field(r, f);
        if (!fld.is_set) {
          kdu_error e;
          e << "Attempting to textualize a code-stream parameter attribute, which has only "
               "partially been set!\n"
            << "Error occurred in attribute \"" << attr->name << "\"  in field " << f << " of record " << r << ".";
        }
        if (f > 0) out << ",";
        const char *spec = fld.pattern;
        if (*spec == 'I')
          out << fld.ival;
        else if (*spec == 'F')
          out << fld.fval;
        else if (*spec == 'B')
          out << (fld.ival ? "yes" : "no");
        else if (*spec == '(') {
          char buf[80];
          int v;
          const char *cp = spec + 1;
          for (;;) {
            cp = parse_translator_entry(cp, ',', buf, v);
            if (v == fld.ival) {
              out << buf;
              break;
            }
            if (*cp != ',') break;
            cp++;
          }
        } else if (*spec == '[') {
          if (fld.ival == 0)
            out << "0";
          else {
            char buf[80];
            int v, covered = 0;
            bool first = true;
            const char *cp = spec + 1;
            for (;;) {
              cp = parse_translator_entry(cp, '|', buf, v);
              if ((fld.ival & v) == v && (v & ~covered) != 0) {
                if (!first) out << ",";
                out << buf;
                first = false;
                covered |= v;
              }
              if (covered == fld.ival || *cp != '|') break;
              cp++;
            }
          }
        }
      }
      if (attr->num_fields > 1) out << "}";
    }
    out << "\n";
  }
}

void kdu_params::print_attributes(std::ostream &out, int min_tile, int max_tile, bool skip_derived) {
  if (tile_idx >= min_tile && tile_idx <= max_tile) {
    print_attributes(out, skip_derived);
    if (first_inst == this)
      for (kdu_params *m = next_inst; m != nullptr; m = m->next_inst) m->print_attributes(out, skip_derived);
  }
  if (first_comp == this)
    for (kdu_params *m = next_comp; m != nullptr; m = m->next_comp)
      m->print_attributes(out, min_tile, max_tile, skip_derived);
  if (first_tile == this)
    for (kdu_params *m = next_tile; m != nullptr; m = m->next_tile)
      m->print_attributes(out, min_tile, max_tile, skip_derived);
  if (first_cluster == this)
    for (kdu_params *m = next_cluster; m != nullptr; m = m->next_cluster)
      m->print_attributes(out, min_tile, max_tile, skip_derived);
}

void kdu_params::delete_unparsed_attribute(const char *name) {
  if (find_attribute(name) == nullptr) {
    kdu_error e;
    e << "Attempting to delete a non-existent attribute with "
         "\"kdu_params::delete_unparsed_attribute\".";
  }
  delete_unparsed_in(name, true, true);
}

void kdu_params::delete_unparsed_in(const char *name, bool tiles, bool comps) {
  kd_param_attribute *attr = shared_attributes ? nullptr : find_attribute(name);  // a class list holds no values
  if (attr != nullptr && !attr->parsed) {
    for (kd_attribute_field &fld : attr->values) fld.is_set = false;
    attr->num_records = 0;
  }
  if (first_inst == this)
    for (kdu_params *m = next_inst; m != nullptr; m = m->next_inst) m->delete_unparsed_in(name, false, false);
  if (comps && first_comp == this)
    for (kdu_params *m = next_comp; m != nullptr; m = m->next_comp) m->delete_unparsed_in(name, false, false);
  if (tiles && first_tile == this)
    for (kdu_params *m = next_tile; m != nullptr; m = m->next_tile) m->delete_unparsed_in(name, false, true);
}

// ---------------------------------------------------------------------------------------------
bool kdu_params::route_segment(uint16_t code, int num_bytes, const uint8_t *bytes, int tile, int tpart_idx) {
  kdu_params *head = cluster_head()->first_cluster;
  for (kdu_params *cluster = head; cluster != nullptr; cluster = cluster->next_cluster) {
    kdu_params *t = cluster->find_tile_head(tile);
    if (t == nullptr) continue;
    for (kdu_params *c = t; c != nullptr; c = c->next_comp) {
      kdu_params *inst = c;
      while (inst != nullptr && inst->marked) inst = inst->next_inst;
      if (inst == nullptr) continue;
      if (inst->read_segment(code, num_bytes, bytes, tpart_idx)) {
        inst->marked = true;
        if (cluster->allow_instances) inst->make_instance();
        return true;
      }
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
uint32_t read_big_endian(const uint8_t *&bp, const uint8_t *end, int num_bytes) {
  if (end - bp < num_bytes) throw kd_short_segment{bp};
  uint32_t val = 0;
  for (int i = 0; i < num_bytes; i++) val = (val << 8) | *bp++;
  return val;
}

int ceil_log2(int v, bool &exact) {
  int k = 0;
  while (k < 30 && (1 << k) < v) k++;
  exact = ((1 << k) == v);
  return k;
}

void split_step_size(float step, int &exponent, int &mantissa) {
  if (!(step > 0.0f)) {
    kdu_error e;
    e << "Absolute quantization step sizes must be strictly positive.";
  }
  exponent = 0;
  while (step < 1.0f) {
    step *= 2.0f;
    exponent++;
  }
  double m = std::floor(((double)step - 1.0) * 2048.0 + 0.5);
  mantissa = (m >= 2048.0) ? 2048 : (int)m;
  if (mantissa >= 2048) {
    mantissa = 0;
    exponent--;
  }
  if (exponent > 31) {
    exponent = 31;
    mantissa = 0;
  }
  if (exponent < 0) {
    exponent = 0;
    mantissa = 2047;
  }
}

void expand_base_step(kdu_params *qcd, int num_levels, int kernel_id, float base_step, bool ll_only) {
  if (num_levels <= 0) {
    qcd->set_value("Qabs_steps", 0, 0, base_step);
    return;
  }
  kdu_kernels kernels(kernel_id, false);
  double low = kernels.band_energy_gain(2, num_levels);
  qcd->set_value("Qabs_steps", 0, 0, (float)(base_step / low));
  if (ll_only) return;
  int record = 1;
  for (int d = num_levels; d > 0; d--) {
    double gl = kernels.band_energy_gain(2, d);
    double gh = kernels.band_energy_gain(3, d);
    float mixed = (float)(base_step / std::sqrt(gl * gh));
    qcd->set_value("Qabs_steps", record++, 0, mixed);
    qcd->set_value("Qabs_steps", record++, 0, mixed);
    qcd->set_value("Qabs_steps", record++, 0, (float)(base_step / gh));
  }
}
