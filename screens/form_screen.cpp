#include "screens/form_screen.h"

#include "screens/screen_context.h"
#include "skin/screen_manager.h"
#include "skin/skin_exceptions.h"

FormScreen::FormScreen(ScreenContext& context, std::u16string element)
    : m_context(context), m_element(std::move(element)) {
    m_context.skin.add_reload_listener(this);
}

FormScreen::~FormScreen() {
    m_context.skin.remove_reload_listener(this);
    m_context.stack.remove_screen(this);
}

void FormScreen::build() {
    if (!bind(m_context.skin, m_element)) throw NodeNotFoundInSkin(m_element);
    attach_nodes();
    m_built = true;
}

void FormScreen::on_reload_skin(Properties&) {
    if (!m_built) return;
    build();
    on_rebuilt();
    mark_redraw();
}

void FormScreen::show(bool overlay) {
    if (!m_built) build();
    m_context.stack.remove_screen(this);
    m_context.stack.push_screen(this, overlay);
}

void FormScreen::close() { m_context.stack.remove_screen(this); }

void FormScreen::draw(RenderSurface& surface, Point origin) {
    Screen::draw(surface, origin);
    const Widget* focus = key_focus();
    if (!focus || !focus->is_effective_visible()) return;
    const Point at{origin.x + focus->position().x, origin.y + focus->position().y};
    const Size size = focus->size();
    if (size.width <= 2 * focus_ring_width || size.height <= 2 * focus_ring_width) return;
    const int32_t w = focus_ring_width;
    const int32_t right = at.x + size.width;
    const int32_t bottom = at.y + size.height;
    surface.fill({at.x, at.y, right, at.y + w}, focus_ring_color);
    surface.fill({at.x, bottom - w, right, bottom}, focus_ring_color);
    surface.fill({at.x, at.y + w, at.x + w, bottom - w}, focus_ring_color);
    surface.fill({right - w, at.y + w, right, bottom - w}, focus_ring_color);
}

bool FormScreen::is_shown() const { return m_context.stack.contains(this); }

Widget& FormScreen::node(std::u16string_view id) { return *attach(id, this); }

Widget& FormScreen::control(std::u16string_view id) {
    Widget& found = node(id);
    found.set_controller(this);
    return found;
}

Widget* FormScreen::optional_node(std::u16string_view id) { return find_child(id); }

Widget* FormScreen::optional_control(std::u16string_view id) { return try_attach(id, this); }

std::u16string FormScreen::text_of(std::u16string_view key) const { return m_context.skin.translate(key); }
