#include "MetafileObject.h"

#include <cstring>
#include <new>

#include "IRKGraphics.h"

namespace RKSDK {

MetafileObject::MetafileObject() : kind(RK_METAOBJ_EMPTY), none(0), color(new RKColor()), font(new RKFont()) {
  color->addRef();
  font->addRef();
}

MetafileObject::~MetafileObject() {
  font->release();
  color->release();
}

void MetafileObject::copyFrom(MetafileObject& other) {
  kind = other.kind;
  none = other.none;
  *color = *other.color;
  font->setHeight(other.font->getHeight());
  font->setWidth(other.font->getWidth());
  font->setWeight(other.font->getWeight());
  font->setItalic(other.font->getItalic());
  font->setUnderline(other.font->getUnderline());
  font->setStrikeOut(other.font->getStrikeOut());
  font->setFaceName(other.font->getFaceName());
}

MetafileObjectStore::MetafileObjectStore() : m_table(nullptr), m_count(0), m_made(0), m_firstFree(0) {}

MetafileObjectStore::~MetafileObjectStore() { clear(); }

void MetafileObjectStore::clearList() {
  for (u32 i = 0; i < m_list.itemCount; ++i) delete m_list.items[i];
  m_list.itemCount = 0;
  m_list.reserved = 0;
}

void MetafileObjectStore::clear() {
  for (int i = 0; i < m_made; ++i) delete m_table[i];
  delete[] m_table;
  m_table = nullptr;
  m_count = 0;
  m_made = 0;
  m_firstFree = 0;
  clearList();
}

int MetafileObjectStore::init(int count) {
  clear();
  if (count < 0) return 0;
  m_table = new (std::nothrow) MetafileObject*[count > 0 ? count : 1]();
  if (!m_table) return 0;
  m_count = count;
  return 1;
}

void MetafileObjectStore::reset() {
  // The objects made stay for the next playback, empty: filing one takes every field anew.
  for (int i = 0; i < m_made; ++i)
    if (m_table[i]) m_table[i]->kind = RK_METAOBJ_EMPTY;
  m_firstFree = 0;
  clearList();
}

int MetafileObjectStore::fill(int index, MetafileObject& object) {
  MetafileObject*& entry = m_table[index];
  if (!entry) {
    entry = new (std::nothrow) MetafileObject();
    if (!entry) return 0;
    if (index >= m_made) m_made = index + 1;
  }
  entry->copyFrom(object);
  return 1;
}

int MetafileObjectStore::create(MetafileObject& object) {
  int i = m_firstFree;
  while (i < m_count && m_table[i] && m_table[i]->kind != RK_METAOBJ_EMPTY) ++i;
  if (i < m_count) {
    if (!fill(i, object)) return 0;
    ++i;
  }
  m_firstFree = i;
  MetafileObject* entry = new (std::nothrow) MetafileObject();
  if (!entry) return 0;
  entry->copyFrom(object);
  if (!m_list.insertAt(static_cast<int>(m_list.itemCount), entry)) {
    delete entry;
    return 0;
  }
  return 1;
}

int MetafileObjectStore::put(uint32_t index, MetafileObject& object) {
  return index < static_cast<uint32_t>(m_count) ? fill(static_cast<int>(index), object) : 1;
}

void MetafileObjectStore::select(IRKGraphics* graphics, uint32_t index, int fromTable) {
  MetafileObject* entry = nullptr;
  if (fromTable) {
    if (index < static_cast<uint32_t>(m_count)) entry = m_table[index];
  } else if (index < m_list.itemCount) {
    entry = m_list.items[index];
  }
  if (entry && graphics) apply(graphics, *entry);
}

void MetafileObjectStore::apply(IRKGraphics* graphics, MetafileObject& object) {
  MetafileObject* entry = &object;
  RKColor* target = nullptr;
  switch (entry->kind) {
    case RK_METAOBJ_BRUSH:
      graphics->setNullFill(entry->none);
      target = graphics->getFillColor();
      break;
    case RK_METAOBJ_PEN:
      graphics->setNullPen(entry->none);
      target = graphics->getColor();
      break;
    case RK_METAOBJ_FONT: {
      RKFont* font = graphics->getFont();
      if (font) {
        font->setHeight(entry->font->getHeight());
        font->setWidth(entry->font->getWidth());
        font->setWeight(entry->font->getWeight());
        font->setItalic(entry->font->getItalic());
        font->setUnderline(entry->font->getUnderline());
        font->setStrikeOut(entry->font->getStrikeOut());
        font->setFaceName(entry->font->getFaceName());
        font->release();
      }
      return;
    }
    default:
      return;
  }
  if (target) {
    *target = *entry->color;
    target->release();
  }
}

void MetafileObjectStore::applyDefaults(IRKGraphics* graphics) {
  MetafileObject pen, brush;
  pen.kind = RK_METAOBJ_PEN;
  brush.kind = RK_METAOBJ_BRUSH;
  brush.color->setABGR(0xFFFFFF);
  apply(graphics, pen);
  apply(graphics, brush);
}

void MetafileObjectStore::remove(uint32_t index) {
  if (index < static_cast<uint32_t>(m_count)) {
    if (m_table[index]) m_table[index]->kind = RK_METAOBJ_EMPTY;
    if (static_cast<int>(index) < m_firstFree) m_firstFree = static_cast<int>(index);
  }
  if (index < m_list.itemCount) {
    MetafileObject* entry = m_list.items[index];
    std::memmove(m_list.items + index, m_list.items + index + 1,
                 (m_list.itemCount - index - 1) * sizeof(MetafileObject*));
    --m_list.itemCount;
    delete entry;
  }
}

}  // namespace RKSDK
