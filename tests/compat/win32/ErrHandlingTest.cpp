#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

TEST(LastError, IsPerThread) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  DWORD other = 1;
  std::thread t([&] { other = GetLastError(); });
  t.join();
  EXPECT_EQ(other, (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(WindowsTypes, HaveWindowsSizes) {
  EXPECT_EQ(sizeof(DWORD), 4u);
  EXPECT_EQ(sizeof(LONG), 4u);
  EXPECT_EQ(sizeof(WCHAR), 2u);
  EXPECT_EQ(sizeof(ULONG_PTR), sizeof(void*));
  EXPECT_EQ(sizeof(LPARAM), 8u);
}
