#include "RKWindow.h"

namespace RKSDK {

RKWindow::RKWindow() {
  appendClassName("RKWindow");
  setWindowClassName("RKWindow");
  setWindowStyle(RK_STYLE_OVERLAPPED);
}

RKWindow::~RKWindow() {}

void RKWindow::quit() {
  if (peer) peer->postQuit();
}

void RKWindow::close() {
  if (peer) peer->postClose();
}

void RKWindow::maximize() {
  if (peer) peer->maximize();
}

void RKWindow::minimize() {
  if (peer) peer->minimize();
}

void RKWindow::restore() {
  if (peer) peer->restore();
}

void RKWindow::setTopMost(int on) {
  if (peer) peer->setTopMost(on);
}

void RKWindow::bringToTop() {
  if (peer) peer->bringToTop();
}

u32 RKWindow::create(RKCreateInfo info) {
  if (!RKContainer::create(info)) return 0;
  peer->runMessageLoop();
  return 1;
}

u32 RKWindow::componentDestroyed() {
  RKContainer::componentDestroyed();
  quit();
  return 1;
}

}  // namespace RKSDK
