// Root of every class of the library: reference count, class-name path, error code and lock.
#ifndef RKSDK_RKOBJECT_H
#define RKSDK_RKOBJECT_H

#include <windows.h>

#include <stdint.h>

namespace RKSDK {

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int32_t i32;

// Lock time-out that waits for as long as it takes.
const u32 RK_WAIT_FOREVER = 0xFFFFFFFFu;

// Every class derives virtually from RKObject, so an object holds exactly one RKObject part.
// A new object holds 0 references; whoever keeps it calls addRef and later release, and the
// release that takes the count from 1 to 0 deletes it (so counted objects must come from new).
// Each constructor appends its class name to the dotted path ("RKObject.RKString"); a caller
// tests an object's kind by searching the path for "." followed by the name. Copy constructors
// of derived classes start from a fresh RKObject part and must append their names as well.
class RKObject {
 public:
  RKObject();
  // A copy is a fresh object: count 0, no locks, the path "RKObject" (the copy constructors of
  // the derived classes append their names again). Nothing of the source's bookkeeping is shared.
  RKObject(const RKObject& other);
  // Assignment leaves the count, path and locks of both objects alone.
  RKObject& operator=(const RKObject& other);
  virtual ~RKObject();

  virtual u32 addRef();
  virtual u32 release();
  virtual u32 getLastError();
  virtual const char* getErrorText(u32 code);
  virtual const char* getClassName() const;
  // Enters the object's recursive lock, giving up after timeoutMs (RK_WAIT_FOREVER never gives
  // up, 0 is one try). 1 when the lock was obtained, else 0. Each success needs one unlock.
  virtual int lock(u32 timeoutMs);
  virtual void unlock();
  virtual RKObject* clone();

 protected:
  // Extends the class-name path by "." and name; on allocation failure the path stays as it was.
  void appendClassName(const char* name);

  u32 refCount;
  char* className;
  u32 refLockMade;
  u32 userLockMade;
  CRITICAL_SECTION refLock;
  CRITICAL_SECTION userLock;
};

// Text of an unknown code or of 0 in the error-text tables of the classes.
extern const char* const RK_TEXT_SUCCESS;

}  // namespace RKSDK

#endif
