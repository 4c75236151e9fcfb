// Check box, radio button and radio-button group: mouse and space roads, the actions they fire,
// group exclusion and the looks of both.
#include "RKRadioButton.h"
#include "ShapeRecorder.h"

class CheckRadioTest : public WidgetTest {
 protected:
  // Check boxes and radio buttons tell their container at once.
  int fired(u32 id) { return spy.count(id); }
  void listen(RKComponent* c) { c->addActionListener(&spy); }
  ActionCounter spy;
};

TEST_F(CheckRadioTest, CheckBoxTogglesOnlyOnAReleaseInside) {
  RKCheckBox* c = place(new RKCheckBox("Associate"), 10, 10, 100, 20);
  listen(c);
  HWND w = windowOf(c);
  EXPECT_NE(std::string(c->getClassName()).find(".RKCheckBox"), std::string::npos);
  // Out and released outside: nothing.
  compat_mouse_button(w, 5, 5, 1, TRUE);
  compat_mouse_move(w, 150, 5);
  compat_mouse_button(w, 150, 5, 1, FALSE);
  compat_pump();
  EXPECT_EQ(c->isChecked(), 0u);
  EXPECT_EQ(fired(RK_ACTION_CHECKBOX_TOGGLED), 0);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  // Out, back in, release on the far corner: one toggle.
  compat_advance(600);
  compat_mouse_button(w, 5, 5, 1, TRUE);
  compat_mouse_move(w, -3, 5);
  compat_mouse_move(w, 100, 20);
  compat_mouse_button(w, 100, 20, 1, FALSE);
  compat_pump();
  EXPECT_EQ(c->isChecked(), 1u);
  EXPECT_EQ(fired(RK_ACTION_CHECKBOX_TOGGLED), 1);
  EXPECT_EQ(spy.last, static_cast<RKObject*>(c));
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  // Space release toggles; the setter fires nothing.
  c->requestFocus();
  compat_key(' ', TRUE, nullptr);
  compat_key(' ', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(c->isChecked(), 0u);
  c->setChecked(1);
  EXPECT_EQ(fired(RK_ACTION_CHECKBOX_TOGGLED), 2);
  c->removeActionListener(&spy);
}

TEST_F(CheckRadioTest, GroupKeepsExactlyThePressedButtonSelected) {
  RKRadioButtonGroup* group = new RKRadioButtonGroup();
  EXPECT_EQ(group->addRef(), 2u);  // made with one reference
  group->release();
  RKRadioButton* r[3];
  for (int i = 0; i < 3; ++i) {
    r[i] = place(new RKRadioButton("choice"), 10, 10 + 25 * i, 100, 20);
    group->add(r[i]);
    listen(r[i]);
  }
  EXPECT_EQ(std::string(r[0]->getClassName()).find(".RKCheckBox"), std::string::npos);
  EXPECT_EQ(group->getCount(), 3u);
  r[0]->setSelected(1);
  compat_click(windowOf(r[1]), 5, 5);
  compat_pump();
  EXPECT_EQ(r[0]->isSelected(), 0u);
  EXPECT_EQ(r[1]->isSelected(), 1u);
  EXPECT_EQ(r[2]->isSelected(), 0u);
  // Clicking the selected one keeps it and still fires.
  compat_advance(600);
  compat_click(windowOf(r[1]), 5, 5);
  compat_pump();
  EXPECT_EQ(r[1]->isSelected(), 1u);
  EXPECT_EQ(fired(RK_ACTION_RADIO_SELECTED), 2);
  // Space: pressed look while held, selection on release.
  r[2]->requestFocus();
  compat_key(' ', TRUE, nullptr);
  compat_pump();
  ShapeRecorder g;
  EXPECT_EQ(paintOf(r[2], g)[1], "ellipse 1,6,9,9 pen=ffffff fill=ffffff");
  EXPECT_EQ(r[2]->isSelected(), 0u);
  compat_key(' ', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(r[2]->isSelected(), 1u);
  EXPECT_EQ(r[1]->isSelected(), 0u);
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  group->remove(r[0]);
  EXPECT_EQ(group->getCount(), 2u);
  for (RKRadioButton* b : r) b->removeActionListener(&spy);
  group->release();
}

TEST_F(CheckRadioTest, LooksInBothStyles) {
  RKCheckBox* c = place(new RKCheckBox("Box"), 10, 10, 100, 20);
  RKRadioButton* r = place(new RKRadioButton("Dot"), 10, 40, 100, 20);
  ShapeRecorder g;
  int fh = g.getFontHeight();
  c->setChecked(1);
  Events p = paintOf(c, g);
  EXPECT_EQ(p[1], "rect 2,6,10,10 pen=ffffff fill=ffffff");
  EXPECT_EQ(p[2], "frame1 0,4,12,12");
  EXPECT_EQ(p.back(), "string 'Box' 20," + std::to_string(10 - fh / 2 + 1) + " pen=010203");
  c->setInheritedFlag(0);
  p = paintOf(c, g);
  EXPECT_EQ(p[2], "outline 0,4,12,12 pen=010203 fill=ffffff");
  r->setInheritedFlag(0);
  r->setSelected(1);
  p = paintOf(r, g);
  EXPECT_EQ(p.back(), "string 'Dot' 20," + std::to_string(10 - fh / 2) + " pen=010203");
  // A focused window without the flag: the check box shows the mark, the radio button not.
  c->focusLost();
  c->requestFocus();
  c->focusLost();
  ASSERT_EQ(c->hasFocus(), 1u);
  paintOf(c, g);
  EXPECT_EQ(g.only("focus").size(), 1u);
  r->requestFocus();
  r->focusLost();
  paintOf(r, g);
  EXPECT_EQ(g.only("focus").size(), 0u);
  EXPECT_EQ(g.pen->getARGB(), RKColor(1, 2, 3).getARGB());
  EXPECT_EQ(g.fill->getARGB(), RKColor(4, 5, 6).getARGB());
}
