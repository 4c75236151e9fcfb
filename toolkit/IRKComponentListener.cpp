#include "IRKComponentListener.h"

namespace RKSDK {

IRKComponentListener::~IRKComponentListener() {}

int IRKComponentListener::paint(RKObject*, RKRect, IRKGraphics*) { return 1; }
int IRKComponentListener::paintFrame(RKObject*, RKRect, IRKGraphics*) { return 1; }
int IRKComponentListener::mousePressed(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::mouseReleased(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::mouseDoubleClicked(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::rightMousePressed(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::rightMouseReleased(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::rightMouseDoubleClicked(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::mouseMoved(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::focusGained(RKObject*) { return 1; }
int IRKComponentListener::focusLost(RKObject*) { return 1; }
int IRKComponentListener::cursorRequested(RKObject*) { return 1; }
int IRKComponentListener::keyTyped(RKObject*, u8, u32) { return 1; }
int IRKComponentListener::keyPressed(RKObject*, u32, u32) { return 1; }
int IRKComponentListener::keyReleased(RKObject*, u32, u32) { return 1; }
int IRKComponentListener::rectEvent(RKObject*, RKRect, IRKGraphics*) { return 1; }
int IRKComponentListener::componentResized(RKObject*, u32, u16, u16) { return 1; }
int IRKComponentListener::componentMoved(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::windowClosing(RKObject*) { return 1; }
int IRKComponentListener::componentShown(RKObject*, u32, u32) { return 1; }
int IRKComponentListener::componentDestroyed(RKObject*) { return 1; }
int IRKComponentListener::windowActivated(RKObject*, u32, u32) { return 1; }
int IRKComponentListener::componentCreated(RKObject*) { return 1; }
int IRKComponentListener::timerFired(RKObject*) { return 1; }
int IRKComponentListener::mouseActivated(RKObject*) { return 1; }
int IRKComponentListener::commandReceived(RKObject*, u32, u32, u32) { return 1; }
int IRKComponentListener::messageReceived(RKObject*, u32, u32, u32) { return 1; }
int IRKComponentListener::mouseExited(RKObject*) { return 1; }
int IRKComponentListener::mouseEntered(RKObject*) { return 1; }
int IRKComponentListener::mouseHovered(RKObject*, RKPoint) { return 1; }
int IRKComponentListener::filesDropped(RKObject*, TRKList<RKString>) { return 1; }
int IRKComponentListener::hotKeyPressed(RKObject*, u32, u32, u32) { return 1; }

}  // namespace RKSDK
