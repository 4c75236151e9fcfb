#include "RKComponent.h"

#include <new>

namespace RKSDK {

RKComponent::RKComponent() : disabled(0), visible(1), focusable(1), look3D(1), created(0), peer(nullptr) {
  appendClassName("RKComponent");
  peer = new (std::nothrow) ImplRKComponent(this);
  if (peer) peer->addRef();
}

RKComponent::~RKComponent() {
  actionListeners.itemCount = 0;
  actionListeners.reserved = 0;
  ImplRKComponent* p = peer;
  if (p) p->release();
  peer = nullptr;
}

// Forwarding to the peer; without a peer (its allocation failed) nothing happens and the
// result is the empty value.
#define RK_FORWARD(call, none) \
  do {                         \
    if (!peer) return none;    \
    return peer->call;         \
  } while (0)

void RKComponent::setText(RKString text) { RK_FORWARD(setText(text), ); }
void RKComponent::setBackground(RKColor color) { RK_FORWARD(setBackground(color), ); }
void RKComponent::setForeground(RKColor color) { RK_FORWARD(setForeground(color), ); }
void RKComponent::setLocation(int x, int y, int repaint) { RK_FORWARD(setLocation(x, y, repaint), ); }
void RKComponent::setLocation(RKPoint point, int repaint) { RK_FORWARD(setLocation(point.x, point.y, repaint), ); }
void RKComponent::setSize(int width, int height, int repaint) { RK_FORWARD(setSize(width, height, repaint), ); }
void RKComponent::setSize(RKSize s, int repaint) { RK_FORWARD(setSize(s.width, s.height, repaint), ); }
void RKComponent::setBounds(RKRect r, int repaint) { RK_FORWARD(setBounds(r.x, r.y, r.width, r.height, repaint), ); }
void RKComponent::setBounds(int x, int y, int width, int height, int repaint) {
  RK_FORWARD(setBounds(x, y, width, height, repaint), );
}
void RKComponent::setFont(RKFont* font) { RK_FORWARD(setFont(font), ); }
void RKComponent::setWindowClassName(RKString name) { RK_FORWARD(setWindowClassName(name), ); }

int RKComponent::show(int activate) {
  int r = peer ? peer->show(activate) : 0;
  visible = 1;
  return r;
}

int RKComponent::hide() {
  int r = peer ? peer->hide() : 0;
  visible = 0;
  return r;
}

int RKComponent::enable() {
  int r = peer ? peer->enable() : 0;
  disabled = 0;
  return r;
}

int RKComponent::disable() {
  int r = peer ? peer->disable() : 0;
  disabled = 1;
  return r;
}

u32 RKComponent::isVisible() { return visible; }
u32 RKComponent::isDisabled() { return disabled; }
u32 RKComponent::isCreated() { return created; }
RKPoint RKComponent::getLocationOnScreen() { RK_FORWARD(getLocationOnScreen(), RKPoint()); }
void RKComponent::setFocusable(u32 f) { focusable = f; }
void RKComponent::setCursor(RKCursor* c) { RK_FORWARD(setCursor(c), ); }
void RKComponent::setIcon(RKIcon* i) { RK_FORWARD(setIcon(i), ); }
void RKComponent::setSmallIcon(RKIcon* i) { RK_FORWARD(setSmallIcon(i), ); }
RKString RKComponent::getText() { RK_FORWARD(getText(), RKString()); }
RKColor RKComponent::getBackground() { RK_FORWARD(getBackground(), RKColor()); }
RKColor RKComponent::getForeground() { RK_FORWARD(getForeground(), RKColor()); }
RKPoint RKComponent::getLocation() { RK_FORWARD(getLocation(), RKPoint()); }
RKSize RKComponent::getSize() { RK_FORWARD(getSize(), RKSize()); }
RKFont* RKComponent::getFont() { RK_FORWARD(getFont(), nullptr); }
RKString RKComponent::getWindowClassName() { RK_FORWARD(getWindowClassName(), RKString()); }
IRKCaret* RKComponent::getCaret() { RK_FORWARD(getCaret(), nullptr); }
IRKGraphics* RKComponent::getGraphics() { RK_FORWARD(getGraphics(), nullptr); }
u32 RKComponent::hasFocus() { RK_FORWARD(hasFocus(), 0); }
u32 RKComponent::queryPeer() { RK_FORWARD(queryPeer(), 0); }
RKSize RKComponent::getTextExtent(RKString text) { RK_FORWARD(getTextExtent(text), RKSize()); }
u32 RKComponent::getFontHeight() { RK_FORWARD(getFontHeight(), 0xFFFFFFFFu); }
void RKComponent::setInheritedFlag(u32 flag) { look3D = flag; }
void RKComponent::setWindowStyle(u32 kind) { RK_FORWARD(setWindowStyle(kind), ); }
void RKComponent::requestFocus() { RK_FORWARD(requestFocus(), ); }
u32 RKComponent::copyToClipboard(RKString text) { RK_FORWARD(copyToClipboard(text), 0); }

RKString RKComponent::pasteFromClipboard() {
  RKString text;
  pasteFromClipboard(text);
  return text;
}

int RKComponent::pasteFromClipboard(RKString& out) { RK_FORWARD(pasteFromClipboard(out), 0); }

u32 RKComponent::isKeyDown(u32 vk) { RK_FORWARD(isKeyDown(int(vk)), 0); }
void RKComponent::onBeforeCreate() {}
void RKComponent::onAfterCreate() {}
u32 RKComponent::createChild(RKComponent* child) { RK_FORWARD(createChild(child), 0); }

u32 RKComponent::create(RKCreateInfo info) {
  RKCreateInfo copy = info;
  u32 result = peer ? u32(peer->create(&copy)) : 0;
  if (!visible) hide();
  if (disabled) disable();
  if (result) created = 1;
  return result;
}

void RKComponent::destroy() { RK_FORWARD(destroy(), ); }
u32 RKComponent::getNativeInfo(RKCreateInfo* info) { RK_FORWARD(getNativeInfo(info), 0); }
void RKComponent::addComponentListener(IRKComponentListener* l) { RK_FORWARD(addComponentListener(l), ); }
void RKComponent::removeComponentListener(IRKComponentListener* l) { RK_FORWARD(removeComponentListener(l), ); }

void RKComponent::addActionListener(IRKActionListener* listener) {
  for (u32 i = 0; i < actionListeners.itemCount; ++i)
    if (actionListeners.items[i] == listener) return;
  actionListeners.insertAt(int(actionListeners.itemCount), listener);
}

void RKComponent::removeActionListener(IRKActionListener* listener) {
  TRKVector<IRKActionListener*>& v = actionListeners;
  for (u32 i = 0; i < v.itemCount; ++i) {
    if (v.items[i] != listener) continue;
    for (u32 j = i + 1; j < v.itemCount; ++j) v.items[j - 1] = v.items[j];
    --v.itemCount;
    return;
  }
}

void RKComponent::redraw(RKRect rect) { RK_FORWARD(redrawRect(rect), ); }
void RKComponent::redraw() { RK_FORWARD(redraw(), ); }
void RKComponent::repaint(RKRect rect) { RK_FORWARD(repaintRect(rect), ); }
void RKComponent::repaint() { RK_FORWARD(repaint(), ); }
void RKComponent::captureMouse() { RK_FORWARD(captureMouse(), ); }
void RKComponent::releaseMouse(u32 all) { RK_FORWARD(releaseMouse(int(all)), ); }
u32 RKComponent::hasMouseCapture() { RK_FORWARD(hasMouseCapture(), 0); }
u32 RKComponent::startTimer(u32 ms) { RK_FORWARD(startTimer(ms), 0); }
void RKComponent::stopTimer() { RK_FORWARD(stopTimer(), ); }

void RKComponent::fireAction(RKObject* source, u32 id, u64 parameter) {
  actionPerformed(source, id, parameter);
  // The count taken at the start bounds the walk; a listener removed meanwhile shortens it.
  u32 count = actionListeners.itemCount;
  for (u32 i = 0; i < count && i < actionListeners.itemCount; ++i)
    actionListeners.items[i]->actionPerformed(source, id, parameter);
}

void RKComponent::fireAction(u32 id, u64 parameter) { fireAction(static_cast<RKObject*>(this), id, parameter); }
void RKComponent::postAction(u32 id, u64 parameter) {
  if (peer) peer->postAction(id, parameter);
}

void RKComponent::postActionToParent(u32 id, u64 parameter) {
  if (peer) peer->postActionToParent(id, parameter);
}

u32 RKComponent::removeAllActionListeners() {
  actionListeners.itemCount = 0;
  actionListeners.reserved = 0;
  return 0;
}

void RKComponent::setWindowShape(RKImage* image, RKColor color) { RK_FORWARD(setWindowShape(image, color), ); }

#undef RK_FORWARD

RKSize RKComponent::getScreenSize() { return ImplRKComponent::getScreenSize(); }

int RKComponent::messageBox(RKComponent* owner, RKString text, RKString caption, u32 kind) {
  return ImplRKComponent::messageBox(owner, text, caption, kind);
}

// ---- handlers ----

u32 RKComponent::paint(RKRect area, IRKGraphics* graphics) {
  if (graphics) graphics->fillRect(area);
  return 0;
}

u32 RKComponent::mousePressed(RKPoint) { return 1; }
u32 RKComponent::mouseReleased(RKPoint) { return 1; }
u32 RKComponent::mouseDoubleClicked(RKPoint) { return 1; }
u32 RKComponent::rightMousePressed(RKPoint) { return 1; }
u32 RKComponent::rightMouseReleased(RKPoint) { return 1; }
u32 RKComponent::rightMouseDoubleClicked(RKPoint) { return 1; }
u32 RKComponent::mouseMoved(RKPoint) { return 1; }
u32 RKComponent::focusGained() { return 1; }
u32 RKComponent::focusLost() { return 1; }
u32 RKComponent::cursorRequested() { return 1; }
u32 RKComponent::keyTyped(u8, u32) { return 1; }
u32 RKComponent::keyPressed(u32, u32) { return 1; }
u32 RKComponent::keyReleased(u32, u32) { return 1; }
u32 RKComponent::rectEvent(RKRect, IRKGraphics*) { return 1; }
u32 RKComponent::componentResized(u32, u16, u16) { return 1; }
u32 RKComponent::componentMoved(RKPoint) { return 1; }
u32 RKComponent::windowClosing() { return 1; }
u32 RKComponent::componentShown(u32, u32) { return 1; }
u32 RKComponent::componentDestroyed() { return 1; }
u32 RKComponent::windowActivated(u32, u32) { return 1; }
u32 RKComponent::componentCreated() { return 1; }
u32 RKComponent::timerFired() { return 1; }
u32 RKComponent::mouseActivated() { return 1; }
u32 RKComponent::commandReceived(u32, u32, u32) { return 1; }
u32 RKComponent::messageReceived(u32, u32, u32) { return 1; }
u32 RKComponent::mouseExited() { return 1; }
u32 RKComponent::mouseEntered() { return 1; }
u32 RKComponent::mouseHovered(RKPoint) { return 1; }
u32 RKComponent::filesDropped(TRKList<RKString>) { return 1; }
u32 RKComponent::hotKeyPressed(u32, u32, u32) { return 1; }
u32 RKComponent::update(RKRect area, IRKGraphics* graphics) { return paint(area, graphics); }

// ---- listener part ----

int RKComponent::paint(RKObject* s, RKRect area, IRKGraphics* g) { return isSelf(s) ? int(paint(area, g)) : 1; }

int RKComponent::paintFrame(RKObject* s, RKRect area, IRKGraphics* g) {
  if (isSelf(s)) return int(paint(area, g));
  return paint(s, area, g);
}

int RKComponent::mousePressed(RKObject* s, RKPoint point) {
  takeFocusOnPress();
  if (isSelf(s)) mousePressed(point);
  return 1;
}

void RKComponent::takeFocusOnPress() {
  if (focusable && !isDisabled()) requestFocus();
}

// The second press of two quick ones arrives as a double click, which the listener part routes
// to mouseDoubleClicked only; a widget that treats it as a press takes the focus here as the
// first press did in the listener part.
u32 RKComponent::doubleClickPress(RKPoint point) {
  takeFocusOnPress();
  return mousePressed(point);
}

int RKComponent::componentDestroyed(RKObject* s) {
  // Only the own window's end clears the flag; a watched component's end leaves it alone.
  if (!isSelf(s)) return 1;
  created = 0;
  return int(componentDestroyed());
}

#define RK_ROUTE(body) return isSelf(s) ? int(body) : 1

int RKComponent::mouseReleased(RKObject* s, RKPoint p) { RK_ROUTE(mouseReleased(p)); }
int RKComponent::mouseDoubleClicked(RKObject* s, RKPoint p) { RK_ROUTE(mouseDoubleClicked(p)); }
int RKComponent::rightMousePressed(RKObject* s, RKPoint p) { RK_ROUTE(rightMousePressed(p)); }
int RKComponent::rightMouseReleased(RKObject* s, RKPoint p) { RK_ROUTE(rightMouseReleased(p)); }
int RKComponent::rightMouseDoubleClicked(RKObject* s, RKPoint p) { RK_ROUTE(rightMouseDoubleClicked(p)); }
int RKComponent::mouseMoved(RKObject* s, RKPoint p) { RK_ROUTE(mouseMoved(p)); }
int RKComponent::focusGained(RKObject* s) { RK_ROUTE(focusGained()); }
int RKComponent::focusLost(RKObject* s) { RK_ROUTE(focusLost()); }
int RKComponent::cursorRequested(RKObject* s) { RK_ROUTE(cursorRequested()); }
int RKComponent::keyTyped(RKObject* s, u8 c, u32 d) { RK_ROUTE(keyTyped(c, d)); }
int RKComponent::keyPressed(RKObject* s, u32 k, u32 d) { RK_ROUTE(keyPressed(k, d)); }
int RKComponent::keyReleased(RKObject* s, u32 k, u32 d) { RK_ROUTE(keyReleased(k, d)); }
int RKComponent::rectEvent(RKObject* s, RKRect r, IRKGraphics* g) { RK_ROUTE(rectEvent(r, g)); }
int RKComponent::componentResized(RKObject* s, u32 k, u16 w, u16 h) { RK_ROUTE(componentResized(k, w, h)); }
int RKComponent::componentMoved(RKObject* s, RKPoint p) { RK_ROUTE(componentMoved(p)); }
int RKComponent::windowClosing(RKObject* s) { RK_ROUTE(windowClosing()); }
int RKComponent::componentShown(RKObject* s, u32 a, u32 b) { RK_ROUTE(componentShown(a, b)); }
int RKComponent::windowActivated(RKObject* s, u32 a, u32 b) { RK_ROUTE(windowActivated(a, b)); }
int RKComponent::componentCreated(RKObject* s) { RK_ROUTE(componentCreated()); }
int RKComponent::timerFired(RKObject* s) { RK_ROUTE(timerFired()); }
int RKComponent::mouseActivated(RKObject* s) { RK_ROUTE(mouseActivated()); }
int RKComponent::commandReceived(RKObject* s, u32 m, u32 w, u32 l) { RK_ROUTE(commandReceived(m, w, l)); }
int RKComponent::messageReceived(RKObject* s, u32 m, u32 w, u32 l) { RK_ROUTE(messageReceived(m, w, l)); }
int RKComponent::mouseExited(RKObject* s) { RK_ROUTE(mouseExited()); }
int RKComponent::mouseEntered(RKObject* s) { RK_ROUTE(mouseEntered()); }
int RKComponent::mouseHovered(RKObject* s, RKPoint p) { RK_ROUTE(mouseHovered(p)); }
int RKComponent::filesDropped(RKObject* s, TRKList<RKString> names) { RK_ROUTE(filesDropped(names)); }
int RKComponent::hotKeyPressed(RKObject* s, u32 i, u32 m, u32 v) { RK_ROUTE(hotKeyPressed(i, m, v)); }

#undef RK_ROUTE

int RKComponent::actionPerformed(RKObject*, u32, u64) { return 1; }

}  // namespace RKSDK
