// Kernel handles of the stand-in: each handle names one object of the table below, released by
// CloseHandle (or the call that belongs to its kind, such as FindClose).
#ifndef RKWIN_HANDLE_INTERNAL_H
#define RKWIN_HANDLE_INTERNAL_H

#include <windef.h>

#include <memory>

namespace rkwin {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Handle values are multiples of 4 from 0x40000000 up, apart from process ids.
HANDLE addHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> findHandle(HANDLE handle);
// Removes the handle; false when it names no object.
bool removeHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> findHandleOf(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(findHandle(handle));
}

}  // namespace rkwin

#endif
