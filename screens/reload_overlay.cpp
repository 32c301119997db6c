#include "screens/reload_overlay.h"

#include "lang/language.h"
#include "skin/properties.h"
#include "skin/screen_manager.h"

ReloadOverlay::ReloadOverlay(Properties& skin, const Language& language, ScreenManager& stack)
    : m_skin(skin), m_language(language), m_stack(stack) {}

ReloadOverlay::~ReloadOverlay() { m_stack.remove_screen(this); }

void ReloadOverlay::show() {
    m_reloaded = false;
    m_stack.remove_screen(this);
    m_stack.push_screen(this, true);
    mark_redraw();
}

void ReloadOverlay::draw(RenderSurface&, Point) {
    if (m_reloaded) return;
    m_reloaded = true;
    m_skin.set_language_table(m_language.table());
    m_skin.send_reload_skin();
    // Leaving here rather than at the next tick: a frame with nothing moving may never tick. The
    // stack has drawn everything under the overlay already and draws the screens below next frame.
    m_stack.remove_screen(this);
}
