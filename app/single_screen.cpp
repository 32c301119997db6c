#include "app/single_screen.h"

SingleScreen::SingleScreen(std::unique_ptr<Widget> form, Color background)
    : m_form(m_root.add_child(std::move(form))), m_background(background) {}

bool SingleScreen::needs_frame() { return m_size == Size{} || m_form->needs_redraw() || m_form->is_layout_dirty(); }

void SingleScreen::tick(double elapsed_seconds) { m_root.tick(elapsed_seconds); }

void SingleScreen::compose(RenderSurface& frame) {
    const Size size = frame.size();
    if (size != m_size || m_form->is_layout_dirty()) {
        m_size = size;
        m_root.set_x(0, size.width);
        m_root.set_y(0, size.height);
    }
    frame.fill({0, 0, size.width, size.height}, m_background);
    m_root.draw(frame, {0, 0});
}
