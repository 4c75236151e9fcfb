#include <RKObject.h>
#include <RKString.h>
#include <TRKMap.h>
#ifdef RKWIN_COMPAT
#include <compat_time.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string.h>
#include <thread>

using namespace RKSDK;

namespace {

// An object that reports its destruction.
class Tracked : public virtual RKObject {
 public:
  explicit Tracked(bool* gone) : gone_(gone) { appendClassName("Tracked"); }
  Tracked(const Tracked& other) : RKObject(), gone_(other.gone_) { appendClassName("Tracked"); }
  ~Tracked() override { *gone_ = true; }

 private:
  bool* gone_;
};

bool isKind(const RKObject& o, const char* kind) { return strstr(o.getClassName(), kind) != nullptr; }

// Holds an object's lock on another thread until told to let go.
class LockHolder {
 public:
  explicit LockHolder(RKObject& o) {
    std::promise<void> locked;
    std::future<void> ready = locked.get_future();
    thread_ = std::thread([&o, &locked, this] {
      o.lock(RK_WAIT_FOREVER);
      locked.set_value();
      release_.get_future().wait();
      o.unlock();
    });
    ready.wait();
  }
  ~LockHolder() {
    release_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> release_;
  std::thread thread_;
};

long msSince(std::chrono::steady_clock::time_point t0) {
  return (long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(ObjectCounting, NewObjectIsNotDestroyedByRelease) {
  bool gone = false;
  Tracked* t = new Tracked(&gone);
  EXPECT_EQ(t->release(), 0u);
  EXPECT_FALSE(gone);
  EXPECT_EQ(t->addRef(), 1u);
  EXPECT_EQ(t->release(), 0u);
  EXPECT_TRUE(gone);
}

TEST(ObjectCounting, LastReleaseDestroys) {
  bool gone = false;
  Tracked* t = new Tracked(&gone);
  EXPECT_EQ(t->addRef(), 1u);
  EXPECT_EQ(t->addRef(), 2u);
  EXPECT_EQ(t->release(), 1u);
  EXPECT_FALSE(gone);
  EXPECT_EQ(t->release(), 0u);
  EXPECT_TRUE(gone);
}

TEST(ObjectCounting, StackObjectSurvivesSurplusReleases) {
  bool gone = false;
  {
    Tracked t(&gone);
    EXPECT_EQ(t.release(), 0u);
    EXPECT_EQ(t.release(), 0u);
    EXPECT_FALSE(gone);
  }
  EXPECT_TRUE(gone);
}

TEST(ObjectCounting, CountsAcrossThreads) {
  bool gone = false;
  Tracked* t = new Tracked(&gone);
  t->addRef();  // the first reference is taken before the object is shared
  std::thread a([t] {
    for (int i = 0; i < 10000; ++i) t->addRef();
  });
  std::thread b([t] {
    for (int i = 0; i < 10000; ++i) t->addRef();
  });
  a.join();
  b.join();
  EXPECT_EQ(t->addRef(), 20002u);
  std::thread c([t] {
    for (int i = 0; i < 10000; ++i) t->release();
  });
  for (int i = 0; i < 10000; ++i) t->release();
  c.join();
  EXPECT_FALSE(gone);
  EXPECT_EQ(t->release(), 1u);
  EXPECT_EQ(t->release(), 0u);
  EXPECT_TRUE(gone);
}

TEST(ObjectCopy, CopyIsAFreshObject) {
  bool gone = false;
  Tracked* original = new Tracked(&gone);
  original->addRef();
  original->addRef();
  original->lock(RK_WAIT_FOREVER);
  {
    Tracked copy(*original);
    EXPECT_STREQ(copy.getClassName(), "RKObject.Tracked");
    EXPECT_NE(copy.getClassName(), original->getClassName());
    EXPECT_EQ(copy.release(), 0u);  // the copy holds no references of its own
    EXPECT_EQ(copy.addRef(), 1u);
    // The copy's lock is its own: another thread can take it while the original is held here.
    int got = -1;
    std::thread([&] {
      got = copy.lock(0);
      if (got) copy.unlock();
    }).join();
    EXPECT_EQ(got, 1);
  }
  original->unlock();
  EXPECT_EQ(original->release(), 1u);
  EXPECT_STREQ(original->getClassName(), "RKObject.Tracked");
  gone = false;
  EXPECT_EQ(original->release(), 0u);
  EXPECT_TRUE(gone);
}

TEST(ObjectCopy, AssignmentKeepsEachObjectsBookkeeping) {
  RKString a("a"), b("b");
  a.addRef();
  a = b;
  EXPECT_STREQ(a.getClassName(), "RKObject.RKString");
  EXPECT_EQ(a.addRef(), 2u);
  EXPECT_EQ(b.release(), 0u);
}

TEST(ObjectKind, ClassNamePathServesAsKindTest) {
  RKString s;
  EXPECT_STREQ(s.getClassName(), "RKObject.RKString");
  EXPECT_TRUE(isKind(s, ".RKString"));
  EXPECT_FALSE(isKind(s, ".RKImage"));
  TRKMap<RKString, RKString> m;
  EXPECT_STREQ(m.getClassName(), "RKObject.TRKMap");
  RKObject plain;
  EXPECT_STREQ(plain.getClassName(), "RKObject");
}

TEST(ObjectErrors, DefaultsReportNothing) {
  RKObject o;
  EXPECT_EQ(o.getLastError(), 0u);
  EXPECT_EQ(o.getErrorText(0xF0000001u), nullptr);
  EXPECT_EQ(o.clone(), nullptr);
}

TEST(ObjectLock, RecursiveForTheSameThread) {
  RKObject o;
  EXPECT_EQ(o.lock(RK_WAIT_FOREVER), 1);
  EXPECT_EQ(o.lock(0), 1);
  o.unlock();
  int other = -1;
  std::thread([&] { other = o.lock(0); }).join();
  EXPECT_EQ(other, 0);  // still held once
  o.unlock();
  std::thread([&] {
    other = o.lock(0);
    if (other) o.unlock();
  }).join();
  EXPECT_EQ(other, 1);
}

TEST(ObjectLock, ZeroTimeoutIsOneTry) {
  RKObject o;
  LockHolder holder(o);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(o.lock(0), 0);
  EXPECT_LT(msSince(t0), 50);
}

TEST(ObjectLock, GivesUpAfterTimeout) {
  RKObject o;
  LockHolder holder(o);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(o.lock(250), 0);
  long ms = msSince(t0);
  EXPECT_GE(ms, 250);  // tries at about 0, 100, 200 and 300 ms
  EXPECT_LT(ms, 1000);
}

TEST(ObjectLock, ObtainsLockReleasedDuringWait) {
  RKObject o;
  std::promise<void> locked;
  std::thread t([&] {
    o.lock(RK_WAIT_FOREVER);
    locked.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    o.unlock();
  });
  locked.get_future().wait();
  EXPECT_EQ(o.lock(2000), 1);
  o.unlock();
  t.join();
}

#ifdef RKWIN_COMPAT
// Needs the stand-in's hook that moves the tick counter.
TEST(ObjectLock, TimeoutSurvivesTickCounterWrap) {
  // Put the counter 60 ms before its wrap: the elapsed time must still be counted correctly.
  compat_set_tick_offset(0);
  DWORD now = GetTickCount();
  compat_set_tick_offset(0xFFFFFFFFu - now - 60);
  RKObject o;
  {
    LockHolder holder(o);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(o.lock(250), 0);
    long ms = msSince(t0);
    EXPECT_GE(ms, 240);
    EXPECT_LT(ms, 1000);
  }
  compat_set_tick_offset(0);
}
#endif
