// One window holding a list box, a pair of check boxes, a radio group, a scroll bar and an
// animated picture read from a GIF file, driven only by injected input: the widgets' states,
// the actions the window receives, and the mouse capture given back after every gesture.
#include <string>
#include <utility>
#include <vector>

#include "RKImgFileSrc.h"
#include "RKListBox.h"
#include "RKPicture.h"
#include "RKRadioButton.h"
#include "RasterFileWriters.h"
#include "TempPrefix.h"
#include "WidgetTestSupport.h"

namespace {

// The window: records each action its own handler receives, with the source.
class RoadWindow : public RKContainer {
 public:
  int actionPerformed(RKObject* source, u32 id, u64) override {
    received.push_back({source, id});
    return 1;
  }
  int count(RKComponent* from, u32 id) {
    int n = 0;
    for (auto& r : received) n += r.first == static_cast<RKObject*>(from) && r.second == id;
    return n;
  }
  std::vector<std::pair<RKObject*, u32>> received;
};

// Two 2 x 2 frames of 40 ms and 70 ms.
std::string animatedGif() {
  const std::string table = std::string("\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF", 12);
  auto control = [](int delay) {
    std::string s = "\x21\xF9\x04";
    s.push_back('\0');
    put16(s, delay);
    s.push_back('\0');
    return s + std::string(1, '\0');
  };
  return gifHeader(2, 2, table) + control(4) + frameData(0, 0, 2, 2, {0, 1, 2, 3}) + control(7) +
         frameData(0, 0, 2, 2, {3, 2, 1, 0}) + ";";
}

}  // namespace

class WidgetRoadTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    window = new RoadWindow();
    window->addRef();
    window->setWindowStyle(RK_STYLE_POPUP);
    window->setBounds(50, 50, 500, 400, 0);
    window->setInheritedFlag(0);
  }
  void TearDown() override {
    window->release();
    ToolkitTest::TearDown();
  }
  template <class W>
  W* put(W* w, int x, int y, int width, int height) {
    w->setBounds(x, y, width, height, 0);
    window->add(w);
    return w;
  }
  // Runs the gesture's messages and checks that the capture is given back.
  void settle() {
    compat_pump();
    EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
    EXPECT_EQ(GetCapture(), HWND(nullptr));
    compat_advance(600);  // the next click is never a double click
  }
  RoadWindow* window = nullptr;
  TempPrefix prefix;
};

TEST_F(WidgetRoadTest, EveryWidgetDrivenByInputAlone) {
  RKListBox* list = put(new RKListBox(), 10, 10, 200, 100);
  for (int i = 0; i < 12; ++i) list->addItem(RKString("drive ") + RKString(i));
  RKCheckBox* bmp = put(new RKCheckBox("bmp"), 230, 10, 100, 20);
  RKCheckBox* gif = put(new RKCheckBox("gif"), 230, 35, 100, 20);
  RKRadioButton* accept = put(new RKRadioButton("accept"), 230, 70, 100, 20);
  RKRadioButton* refuse = put(new RKRadioButton("refuse"), 230, 95, 100, 20);
  RKRadioButtonGroup* group = new RKRadioButtonGroup();
  group->add(accept);
  group->add(refuse);
  refuse->setSelected(1);
  RKScrollBar* bar = put(new RKScrollBar(0), 10, 130, 200, 18);
  RKPicture* picture = put(new RKPicture(), 230, 130, 60, 60);

  TempPrefix::writeFile(prefix.onC("anim.gif"), animatedGif());
  RKImgFileSrc source;
  ASSERT_EQ(source.setFile("C:\\anim.gif"), 1);
  RKImageGroup* frames = source.getImageGroup();
  ASSERT_NE(frames, nullptr);
  ASSERT_EQ(frames->getCount(), 2);
  picture->setImageGroup(frames);
  frames->release();

  ASSERT_EQ(window->create(RKCreateInfo{nullptr, nullptr}), 1u);
  compat_pump();
  for (RKComponent* c : std::vector<RKComponent*>{list, bmp, gif, accept, refuse, bar, picture})
    ASSERT_EQ(c->isCreated(), 1u);

  // The list: a click on row 2 selects it and tells the window on the release.
  int pitch = int(list->getFontHeight()) + 1;
  HWND lw = windowOf(list);
  compat_click(lw, 30, 1 + 2 * pitch + pitch / 2);  // flat look: rows start at 1
  settle();
  EXPECT_EQ(list->getSelectedIndex(), 2);
  EXPECT_EQ(window->count(list, RK_ACTION_LIST_SELECTION_CHANGED), 1);
  // Keys go to the focused list.
  compat_key(VK_DOWN, TRUE, nullptr);
  compat_key(VK_DOWN, FALSE, nullptr);
  settle();
  EXPECT_EQ(list->getSelectedText(), RKString("drive 3"));
  EXPECT_EQ(window->count(list, RK_ACTION_LIST_SELECTION_CHANGED), 2);
  // Its bar's arrow scrolls the rows and hands the focus back.
  RKScrollBar* lv = list->getVerticalScrollBar();
  ASSERT_EQ(lv->isVisible(), 1u);
  RKArrowButton* down = lv->getIncrementButton();
  compat_click(windowOf(down), 4, 4);
  settle();
  EXPECT_EQ(list->getTopIndex(), 1);
  EXPECT_EQ(list->hasFocus(), 1u);
  down->release();
  lv->release();
  // A double click asks for the row.
  compat_click(lw, 30, 1 + pitch / 2);
  compat_click(lw, 30, 1 + pitch / 2);
  settle();
  EXPECT_EQ(list->getSelectedIndex(), 1);
  EXPECT_EQ(window->count(list, RK_ACTION_LIST_ITEM_ACTIVATED), 1);

  // The check boxes toggle independently; a drag out of one changes nothing.
  compat_click(windowOf(bmp), 5, 10);
  settle();
  HWND gw = windowOf(gif);
  compat_mouse_button(gw, 5, 10, 1, TRUE);
  compat_mouse_move(gw, 150, 10);
  compat_mouse_button(gw, 150, 10, 1, FALSE);
  settle();
  EXPECT_EQ(bmp->isChecked(), 1u);
  EXPECT_EQ(gif->isChecked(), 0u);
  EXPECT_EQ(window->count(bmp, RK_ACTION_CHECKBOX_TOGGLED), 1);
  EXPECT_EQ(window->count(gif, RK_ACTION_CHECKBOX_TOGGLED), 0);
  gif->requestFocus();
  compat_key(' ', TRUE, nullptr);
  compat_key(' ', FALSE, nullptr);
  settle();
  EXPECT_EQ(gif->isChecked(), 1u);
  EXPECT_EQ(window->count(gif, RK_ACTION_CHECKBOX_TOGGLED), 1);

  // The radio pair: exactly the clicked one stays selected.
  compat_click(windowOf(accept), 5, 10);
  settle();
  EXPECT_EQ(accept->isSelected(), 1u);
  EXPECT_EQ(refuse->isSelected(), 0u);
  EXPECT_EQ(window->count(accept, RK_ACTION_RADIO_SELECTED), 1);

  // The scroll bar: a page from the track, a step from the arrow, a thumb drag.
  HWND bw = windowOf(bar);
  compat_click(bw, 150, 9);
  settle();
  EXPECT_EQ(bar->getValue(), 10);
  RKArrowButton* right = bar->getIncrementButton();
  compat_click(windowOf(right), 4, 4);
  settle();
  EXPECT_EQ(bar->getValue(), 11);
  right->release();
  RKScrollBarBox* thumb = bar->getThumb();
  HWND tw = windowOf(thumb);
  int x0 = thumb->getLocation().x;
  compat_mouse_button(tw, 3, 3, 1, TRUE);
  compat_mouse_move(tw, 3 + 40, 3);
  compat_mouse_button(tw, 3 + 40, 3, 1, FALSE);
  settle();
  EXPECT_EQ(thumb->getLocation().x, x0 + 40);
  EXPECT_EQ(bar->getValue(), (x0 + 40 - 18) * 100 / (200 - 36));
  thumb->release();
  EXPECT_EQ(window->count(bar, RK_ACTION_SCROLL_VALUE_CHANGED), 3);

  // The picture animates by the frames' own delays and reports presses.
  int first = picture->getFrameIndex();
  compat_advance(100);
  EXPECT_NE(picture->getFrameIndex(), first);
  compat_click(windowOf(picture), 10, 10);
  settle();
  EXPECT_EQ(window->count(picture, RK_ACTION_PICTURE_PRESSED), 1);

  group->release();
}
