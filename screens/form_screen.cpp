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
