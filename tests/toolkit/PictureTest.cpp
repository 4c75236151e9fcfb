// The picture: single images with and without alpha, frame sets animated by the timer or
// stacked in still mode, the frame mode, presses, and images handed in twice.
#include <vector>

#include "RKPicture.h"
#include "ShapeRecorder.h"

namespace {

// A new w x h image of the type, every byte fill, holding one reference for the caller.
RKImage* makeImage(u32 type, int w, int h, u8 fill, u32 delay = 0) {
  int bpp = type == 1003 ? 3 : 4;
  std::vector<u8> bytes(size_t(w * h * bpp), fill);
  RKImage* img = new RKImage(type, bytes.data(), int(bytes.size()), 0, 0, w, h, delay);
  img->addRef();
  return img;
}

RKImageGroup* makeFrames(std::vector<u32> delays) {
  RKImageGroup* set = new RKImageGroup();
  set->addRef();
  for (u32 d : delays) {
    RKImage* f = makeImage(1003, 4, 3, u8(d), d);
    set->addImage(f);
    f->release();
  }
  return set;
}

}  // namespace

class PictureTest : public WidgetTest {
 protected:
  RKPicture* picture() { return place(new RKPicture(), 10, 10, 40, 30); }
};

TEST_F(PictureTest, ImagesWithAlphaAreFlattenedOthersKept) {
  RKPicture* p = picture();
  RKImage* plain = makeImage(1003, 8, 6, 0x40);
  p->setImage(plain);
  RKImage* shown = p->getImage();
  EXPECT_EQ(shown, plain);
  shown->release();
  ShapeRecorder g;
  EXPECT_EQ(paintOf(p, g), (Events{"image 0,0,8,6 to 0,0,40,30 type 1003"}));
  RKImage* alpha = makeImage(1007, 8, 6, 0);  // fully transparent
  p->setImage(alpha);
  shown = p->getImage();
  ASSERT_NE(shown, nullptr);
  EXPECT_NE(shown, alpha);
  EXPECT_EQ(shown->getPixelType(), 1003u);
  EXPECT_EQ(shown->getWidth(), 8);
  shown->release();
  // The image it already shows, handed in again, stays alive and shown.
  shown = p->getImage();
  p->setImage(shown);
  RKImage* again = p->getImage();
  EXPECT_EQ(again, shown);
  EXPECT_EQ(again->getWidth(), 8);
  again->release();
  shown->release();
  // Null empties it without a repaint; the frame mode redraws only on a change.
  p->setImage(nullptr);
  EXPECT_EQ(p->getImage(), nullptr);
  p->setDrawMode(1);
  EXPECT_EQ(paintOf(p, g), (Events{"outline 0,0,39,29 pen=010203 fill=040506"}));
  plain->release();
  alpha->release();
}

TEST_F(PictureTest, FramesCycleWithTheirOwnDelays) {
  RKPicture* p = picture();
  RKImageGroup* one = makeFrames({50});
  p->setImageGroup(one);
  compat_advance(200);
  EXPECT_EQ(p->getFrameIndex(), 0);  // one frame: no timer
  RKImageGroup* three = makeFrames({100, 200, 50});
  p->setImageGroup(three);
  RKImageGroup* held = p->getImageGroup();
  EXPECT_EQ(held, three);
  held->release();
  std::vector<int> seen;
  for (int t = 0; t < 8; ++t) {
    compat_advance(50);
    if (seen.empty() || seen.back() != p->getFrameIndex()) seen.push_back(p->getFrameIndex());
  }
  // 0 for 100 ms, 1 for 200 ms, 2 for 50 ms, then 0 again.
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0}));
  // Still mode stops the animation and stacks every frame 2 pixels apart.
  p->setStill(1);
  int at = p->getFrameIndex();
  compat_advance(500);
  EXPECT_EQ(p->getFrameIndex(), at);
  ShapeRecorder g;
  EXPECT_EQ(paintOf(p, g), (Events{"image 0,0,4,3 to 0,0,4,3 type 1003", "image 0,0,4,3 to 0,5,4,3 type 1003",
                                   "image 0,0,4,3 to 0,10,4,3 type 1003"}));
  // The set it holds, handed in again, survives.
  p->setStill(0);
  p->setImageGroup(three);
  EXPECT_EQ(three->getCount(), 3);
  p->clear();
  EXPECT_EQ(p->getImageGroup(), nullptr);
  one->release();
  three->release();
}

TEST_F(PictureTest, APressReachesTheListenersOneMessageLater) {
  RKPicture* p = picture();
  ActionCounter spy;
  p->addActionListener(&spy);
  HWND w = windowOf(p);
  compat_mouse_button(w, 5, 5, 1, TRUE);
  EXPECT_EQ(spy.count(RK_ACTION_PICTURE_PRESSED), 0);
  compat_pump();
  EXPECT_EQ(spy.count(RK_ACTION_PICTURE_PRESSED), 1);
  EXPECT_EQ(spy.last, static_cast<RKObject*>(p));
  compat_mouse_button(w, 5, 5, 1, FALSE);
  compat_pump();
  EXPECT_EQ(ImplRKComponent::captureDepth(), 0);
  p->removeActionListener(&spy);
}
