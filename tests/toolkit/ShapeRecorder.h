// A recording drawing interface that also logs lines, ellipses, arcs, ovals, polygons and
// images, for the widgets that draw them.
#ifndef RK_TEST_SHAPE_RECORDER_H
#define RK_TEST_SHAPE_RECORDER_H

#include "RKImage.h"
#include "WidgetTestSupport.h"

class ShapeRecorder : public RecordingGraphics {
 public:
  void drawLine(int x1, int y1, int x2, int y2, int) override { shape("line", x1, y1, x2, y2); }
  void drawEllipse(int x, int y, int w, int h) override { shape("ellipse", x, y, w, h); }
  void drawOval(int x, int y, int w, int h) override { shape("oval", x, y, w, h); }
  int drawArc(int x, int y, int w, int h, int sx, int sy, int ex, int ey) override {
    shape("arc", x, y, w, h);
    calls.back() += " from " + box(sx, sy, ex, ey);
    return 1;
  }
  void drawPolygon(RKPoint* p, int count, int) override {
    std::string s = "polygon";
    for (int i = 0; i < count; ++i) s += " " + std::to_string(p[i].x) + "," + std::to_string(p[i].y);
    calls.push_back(s);
  }
  int drawImage(RKImage* image, int sx, int sy, int sw, int sh, int tx, int ty, int tw, int th) override {
    images.push_back(image);
    calls.push_back("image " + box(sx, sy, sw, sh) + " to " + box(tx, ty, tw, th) + " type " +
                    std::to_string(image ? image->getPixelType() : 0));
    return 1;
  }
  std::vector<RKImage*> images;
};

#endif
