// Combo boxes built while allocations fail: each failing allocation leaves its part null and
// the combo box still creates, lays out, answers the user and goes away without a fault.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "RKComboBox.h"
#include "RKComboBoxScrollBar.h"
#include "WidgetTestSupport.h"

// The replaced operators below pair malloc with free; GCC cannot see that through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

// While armed, allocations of the size of a combo-box part (list, edit, arrow buttons, the
// list's bars and arrows) are counted and the one numbered failAt fails: a throwing new throws,
// a non-throwing one answers null. The library throws nothing of its own, so an exception
// escaping it fails the test.
int failAt = -1;
int counted = 0;
bool armed = false;

bool failNow(std::size_t n) {
  static const std::size_t parts[] = {sizeof(RKComboBoxListBox), sizeof(RKComboBoxEdit), sizeof(RKArrowButton),
                                      sizeof(RKComboBoxScrollBar), sizeof(RKComboBoxArrowButton)};
  if (!armed) return false;
  for (std::size_t size : parts)
    if (n == size) return counted++ == failAt;
  return false;
}

}  // namespace

void* operator new(std::size_t n) {
  void* p = failNow(n) ? nullptr : std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return failNow(n) ? nullptr : std::malloc(n ? n : 1);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class ComboAllocationTest : public ToolkitTest {
 protected:
  void TearDown() override {
    armed = false;
    ToolkitTest::TearDown();
  }
};

// Builds a combo box with the allocation numbered `n` failing (-1: none), then uses it.
// Returns how many part allocations the construction made.
int buildAndUse(int n) {
  RKContainer* window = new RKContainer();
  window->addRef();
  window->setWindowStyle(RK_STYLE_POPUP);
  window->setBounds(50, 50, 300, 200, 0);
  failAt = n;
  counted = 0;
  armed = true;
  RKComboBox* c = new RKComboBox();
  armed = false;
  int made = counted;
  c->setBounds(10, 10, 100, 22, 0);
  c->addItem("one");
  c->addItem("two");
  c->setEditable(1);
  window->add(c);
  window->create(RKCreateInfo{nullptr, nullptr});
  compat_pump();
  c->select(1);
  c->setText("text");
  c->requestFocus();
  compat_pump();
  RKArrowButton* arrow = c->getArrowButton();
  if (arrow) {
    compat_click(windowOf(arrow), 5, 5);
    compat_pump();
    arrow->release();
  }
  RKComboBoxEdit* edit = c->getEdit();
  if (edit) {
    compat_key(VK_DOWN, TRUE, nullptr);
    compat_key(VK_DOWN, FALSE, nullptr);
    compat_key(VK_RETURN, TRUE, nullptr);
    compat_key(VK_RETURN, FALSE, nullptr);
    compat_pump();
    edit->release();
  }
  c->getSelectedIndex();
  c->getText();
  c->releaseMouse(1);  // whatever part still holds the counted capture gives it back
  window->release();
  compat_pump();
  return made;
}

}  // namespace

TEST_F(ComboAllocationTest, EveryFailingPartAllocationIsSurvived) {
  int total = buildAndUse(-1);
  ASSERT_GE(total, 9);  // list, arrow, edit, the list's two bars and four arrows
  for (int n = 0; n < total; ++n) {
    SCOPED_TRACE(n);
    buildAndUse(n);
  }
}
