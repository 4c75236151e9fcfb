// Graphics objects of a metafile playback and the two stores the players keep them in: a table
// with one entry per object slot the file declares, and a list of every object in creation
// order. Which store a selection reads is the player's choice (its slot lookup flag). The table
// is made once per picture and emptied for each band the records are played for; its entries
// are made as objects are filed in them, so that a declared slot count costs no objects.
#ifndef RK_IMAGING_METAFILEOBJECT_H
#define RK_IMAGING_METAFILEOBJECT_H

#include <cstdint>

#include "RKColor.h"
#include "RKFont.h"
#include "TRKVector.h"

namespace RKSDK {

class IRKGraphics;

// Kinds of MetafileObject.
enum {
  RK_METAOBJ_EMPTY = 0,
  RK_METAOBJ_BRUSH = 1,
  RK_METAOBJ_PEN = 2,
  RK_METAOBJ_FONT = 3,
  RK_METAOBJ_PALETTE = 4,
  RK_METAOBJ_PATTERN = 5,
  RK_METAOBJ_REGION = 6
};

class MetafileObject {
 public:
  MetafileObject();
  ~MetafileObject();
  MetafileObject(const MetafileObject&) = delete;
  MetafileObject& operator=(const MetafileObject&) = delete;

  // Takes the kind, colour and font fields of other.
  void copyFrom(MetafileObject& other);

  uint16_t kind;
  // A null pen or brush: draws no outline, fills nothing.
  int none;
  RKColor* color;
  RKFont* font;
};

class MetafileObjectStore {
 public:
  MetafileObjectStore();
  ~MetafileObjectStore();
  MetafileObjectStore(const MetafileObjectStore&) = delete;
  MetafileObjectStore& operator=(const MetafileObjectStore&) = delete;

  // Makes the table of count empty entries; 0 when memory runs out.
  int init(int count);
  // Empties every table entry and the creation list; the table keeps its size.
  void reset();
  // Files a new object: into the first empty table entry (none: the table is left alone) and,
  // as a copy, at the end of the creation list. 0 when memory runs out.
  int create(MetafileObject& object);
  // Files a new object into the table entry at index, replacing what it held (the creating
  // records of enhanced metafiles name their slot). An index outside the table files nothing.
  // 0 when memory runs out.
  int put(uint32_t index, MetafileObject& object);
  // Selects the entry at index of the table (fromTable) or the creation list into graphics:
  // a brush's colour becomes the fill colour, a pen's the pen colour, a font's fields the
  // graphics font. Indexes outside the store select nothing.
  void select(IRKGraphics* graphics, uint32_t index, int fromTable);
  // Selects object into graphics as select does.
  static void apply(IRKGraphics* graphics, MetafileObject& object);
  // Selects what a playback starts with: the black pen and the white brush.
  static void applyDefaults(IRKGraphics* graphics);
  // Empties the table entry at index and takes the list entry at index out of the list.
  void remove(uint32_t index);

  int tableSize() const { return m_count; }
  // The table entry at index; null outside the table and for an entry nothing was filed in.
  MetafileObject* tableEntry(int index) { return index >= 0 && index < m_made ? m_table[index] : nullptr; }
  int listCount() const { return static_cast<int>(m_list.itemCount); }
  MetafileObject* listEntry(int index) { return m_list.get(index); }

 private:
  void clear();
  void clearList();
  // Files object into the table entry at index (below the table's size), making the entry's
  // object when there is none yet; 0 when memory runs out.
  int fill(int index, MetafileObject& object);

  MetafileObject** m_table;  // m_count pointers; null where no object was filed yet
  int m_count;
  int m_made;       // no entry from it on has an object
  int m_firstFree;  // every table entry below it is in use
  TRKVector<MetafileObject*> m_list;
};

}  // namespace RKSDK

#endif
