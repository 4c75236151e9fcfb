#include <windows.h>

#include <climits>

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
  if (nDenominator == 0) return -1;
  int64_t p = int64_t(nNumber) * nNumerator;
  int64_t d = nDenominator;
  // Round half away from zero.
  bool neg = (p < 0) != (d < 0);
  int64_t ap = p < 0 ? -p : p, ad = d < 0 ? -d : d;
  int64_t q = (ap + ad / 2) / ad;
  if (neg) q = -q;
  if (q > INT_MAX || q < INT_MIN) return -1;
  return int(q);
}
