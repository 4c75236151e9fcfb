#include "RKImageGroup.h"

#include <new>

namespace RKSDK {

RKImageGroup::RKImageGroup() : m_width(0), m_height(0) { appendClassName("RKImageGroup"); }

RKImageGroup::~RKImageGroup() { removeAllImages(); }

void RKImageGroup::removeAllImages() {
  for (unsigned int i = 0; i < m_frames.itemCount; ++i) static_cast<RKImage*>(m_frames.items[i])->release();
  m_frames.itemCount = 0;
  m_frames.reserved = 0;
}

int RKImageGroup::getCount() { return static_cast<int>(m_frames.itemCount); }

RKImage* RKImageGroup::getImage(int index) {
  m_frames.lock(RK_WAIT_FOREVER);
  RKImage* image = nullptr;
  if (index >= 0 && static_cast<unsigned int>(index) < m_frames.itemCount) {
    image = static_cast<RKImage*>(m_frames.items[index]);
    image->addRef();
  }
  m_frames.unlock();
  return image;
}

void RKImageGroup::addImage(RKImage* image) {
  if (!image) return;
  m_frames.lock(RK_WAIT_FOREVER);
  image->addRef();
  if (!m_frames.insertAt(static_cast<int>(m_frames.itemCount), image)) image->release();
  m_frames.unlock();
}

void RKImageGroup::removeImage(int index) {
  m_frames.lock(RK_WAIT_FOREVER);
  if (index >= 0 && static_cast<unsigned int>(index) < m_frames.itemCount) {
    static_cast<RKImage*>(m_frames.items[index])->release();
    for (unsigned int i = index; i + 1 < m_frames.itemCount; ++i) m_frames.items[i] = m_frames.items[i + 1];
    --m_frames.itemCount;
  }
  m_frames.unlock();
}

void RKImageGroup::setImage(int index, RKImage* image) {
  if (!image) return;
  m_frames.lock(RK_WAIT_FOREVER);
  if (index >= 0 && static_cast<unsigned int>(index) < m_frames.itemCount) {
    image->addRef();
    RKImage* old = static_cast<RKImage*>(m_frames.items[index]);
    m_frames.items[index] = image;
    old->release();
  }
  m_frames.unlock();
}

int RKImageGroup::getWidth() {
  if (m_width != 0 || m_height != 0) return m_width;
  int widest = 0;
  for (unsigned int i = 0; i < m_frames.itemCount; ++i) {
    int w = static_cast<RKImage*>(m_frames.items[i])->getWidth();
    if (w > widest) widest = w;
  }
  return widest;
}

int RKImageGroup::getHeight() {
  if (m_width != 0 || m_height != 0) return m_height;
  int tallest = 0;
  for (unsigned int i = 0; i < m_frames.itemCount; ++i) {
    int h = static_cast<RKImage*>(m_frames.items[i])->getHeight();
    if (h > tallest) tallest = h;
  }
  return tallest;
}

void RKImageGroup::setWidth(int width) { m_width = width; }
void RKImageGroup::setHeight(int height) { m_height = height; }

RKImageGroup* RKImageGroup::clone() {
  RKImageGroup* copy = new (std::nothrow) RKImageGroup();
  if (!copy) return nullptr;
  copy->addRef();
  for (unsigned int i = 0; i < m_frames.itemCount; ++i) {
    RKImage* image = static_cast<RKImage*>(m_frames.items[i])->clone();
    if (image) {
      copy->addImage(image);
      image->release();
    }
  }
  copy->m_width = m_width;
  copy->m_height = m_height;
  return copy;
}

RKImageGroup& RKImageGroup::operator=(const RKImageGroup& other) {
  if (this == &other) return *this;
  RKImageGroup& src = const_cast<RKImageGroup&>(other);
  removeAllImages();
  int count = src.getCount();
  for (int i = 0; i < count; ++i) {
    RKImage* image = src.getImage(i);
    if (image) {
      addImage(image);
      image->release();
    }
  }
  m_width = src.m_width;
  m_height = src.m_height;
  return *this;
}

}  // namespace RKSDK
