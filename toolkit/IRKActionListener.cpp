#include "IRKActionListener.h"

namespace RKSDK {

IRKActionListener::~IRKActionListener() {}

int IRKActionListener::actionPerformed(RKObject*, u32, u64) { return 1; }

}  // namespace RKSDK
