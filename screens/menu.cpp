#include "screens/menu.h"

#include <algorithm>

#include "screens/skin_lookups.h"
#include "skin/key_event.h"
#include "skin/screen_manager.h"

namespace {
constexpr std::u16string_view default_row_node = skin_id::menu_element;
constexpr std::u16string_view four_button_ids[] = {skin_id::about, skin_id::help, skin_id::minimize, skin_id::exit};

bool same_commands(const std::vector<MenuItem>& a, const std::vector<MenuItem>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const MenuItem& x, const MenuItem& y) { return x.command == y.command; });
}
}  // namespace

Menu::Menu(ScreenContext& context) : FormScreen(context, std::u16string(skin_id::menu)) {}

Menu::~Menu() {
    if (m_list) m_list->set_adapter(nullptr);
}

void Menu::attach_nodes() {
    m_panel = &node(skin_id::panel);
    m_caption_node = optional_node(skin_id::caption);
    m_list = dynamic_cast<VListWidget*>(&node(skin_id::vlist));
    m_row_nodes.clear();
    if (m_list) m_list->set_adapter(this);
}

void Menu::on_rebuilt() {
    if (m_caption_node) m_caption_node->set_text(m_caption);
    if (m_list) m_list->reset(static_cast<int32_t>(m_items.size()));
}

std::u16string Menu::row_node(const MenuItem& item) const {
    std::u16string node = item.node.empty() ? std::u16string(default_row_node) : item.node;
    if (!item.enabled) node += u"Disabled";
    return node;
}

int32_t Menu::row_type(int32_t index) {
    const std::u16string node = row_node(m_items[static_cast<size_t>(index)]);
    const auto found = std::find(m_row_nodes.begin(), m_row_nodes.end(), node);
    if (found != m_row_nodes.end()) return static_cast<int32_t>(found - m_row_nodes.begin());
    m_row_nodes.push_back(node);
    return static_cast<int32_t>(m_row_nodes.size() - 1);
}

void Menu::build_row(Widget& row, int32_t type) {
    const std::u16string& node = m_row_nodes[static_cast<size_t>(type)];
    // A disabled look the skin lacks falls back to the enabled one.
    if (!row.bind(context().skin, node) && node.ends_with(u"Disabled")) {
        row.bind(context().skin, std::u16string_view(node).substr(0, node.size() - 8));
    }
    for (std::u16string_view id : four_button_ids) {
        if (Widget* button = row.try_attach(id, this)) button->set_controller(this);
    }
}

void Menu::bind_row(Widget& row, int32_t index) {
    const MenuItem& item = m_items[static_cast<size_t>(index)];
    if (item.command != four_buttons_command) {
        if (Widget* text = row.find_child(skin_id::row_text))
            text->set_text(item.text.empty() ? text_of(item.command) : item.text);
    }
    if (Widget* separator = row.find_child(skin_id::separator)) separator->set_visible_now(item.separator);
    if (Widget* checked = row.find_child(skin_id::checked)) checked->set_visible_now(item.checked);
}

void Menu::on_item_activated(VListWidget&, int32_t index) {
    // Enter on the four-button row presses the button with the ring; a tap there goes to the
    // buttons themselves.
    if (Widget* button = four_button_focus()) {
        if (m_list && m_list->selection() == index) {
            open(button->id(), u"", false);
            return;
        }
    }
    choose(static_cast<size_t>(index));
}

Widget* Menu::four_button_focus() const {
    if (!m_list) return nullptr;
    const int32_t selected = m_list->selection();
    if (selected < 0 || static_cast<size_t>(selected) >= m_items.size()) return nullptr;
    if (m_items[static_cast<size_t>(selected)].command != four_buttons_command) return nullptr;
    Widget* row = m_list->row_for(selected);
    return row ? row->find_child(four_button_ids[m_button_focus]) : nullptr;
}

Widget* Menu::key_focus() const { return four_button_focus(); }

void Menu::choose(size_t index) {
    if (index >= m_items.size()) return;
    const MenuItem item = m_items[index];
    // The four-button row answers through its buttons only.
    if (!item.enabled || item.command == four_buttons_command) return;
    open(item.command, item.text, false);
}

void Menu::open(std::u16string_view command, std::u16string_view caption, bool force) {
    if (!m_list) build();
    const std::u16string_view heading = m_provider ? m_provider->heading_of(command) : std::u16string_view();
    m_caption = !heading.empty() ? text_of(heading) : caption.empty() ? text_of(command) : std::u16string(caption);
    std::vector<MenuItem> items;
    if (m_provider) m_provider->fill(command, items);
    if (m_caption_node) m_caption_node->set_text(m_caption);

    if (!force && is_shown() && same_commands(items, m_items)) {
        // The same menu again (a check mark changed): the rows stay where they are.
        m_items = std::move(items);
        m_list->refresh_all();
        return;
    }
    m_items = std::move(items);
    m_panel->set_visible_now(false);
    m_list->reset(static_cast<int32_t>(m_items.size()));
    if (m_items.empty()) {
        close();
        return;
    }
    if (force || !is_shown()) {
        show(true);
    } else {
        invalidate_layout();
    }
    m_panel->set_visible(true);
}

void Menu::on_click(Widget* widget, const PointerEvent&) {
    for (std::u16string_view id : four_button_ids) {
        if (widget->id() == id) {
            open(id, u"", false);
            return;
        }
    }
}

bool Menu::on_key(const KeyEvent& event) {
    if (event.pressed && event.fresh && (event.code == key::Esc || event.code == key::Backspace)) {
        open(u"Cancel", u"", false);
        return true;
    }
    // On the four-button row Left and Right move the ring from button to button.
    if (event.pressed && (event.code == key::Left || event.code == key::Right) && four_button_focus()) {
        const size_t count = std::size(four_button_ids);
        m_button_focus =
            event.code == key::Left ? std::max<size_t>(m_button_focus, 1) - 1 : std::min(m_button_focus + 1, count - 1);
        mark_redraw();
        return true;
    }
    return FormScreen::on_key(event);
}
