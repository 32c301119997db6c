#include "screens/quick_record_screen.h"

#include <optional>

#include "lang/text_variables.h"
#include "screens/hardware_key_icon.h"
#include "screens/skin_lookups.h"
#include "skin/key_event.h"
#include "skin/simple_widgets.h"

namespace {

constexpr std::u16string_view row_element = skin_id::hardware_key;

// A node's element below a top-level one, found by its id, depth first.
std::optional<SkinElement> find_below(const Properties& skin, SkinElement element, std::u16string_view id) {
    for (uint32_t i = 0; i < skin.child_count(element); ++i) {
        const std::optional<SkinElement> child = skin.child(element, i);
        if (!child) continue;
        if (skin.get_string(*child, u"id", u"") == id) return child;
        if (std::optional<SkinElement> found = find_below(skin, *child, id)) return found;
    }
    return std::nullopt;
}

}  // namespace

QuickRecordScreen::QuickRecordScreen(ScreenContext& context, std::unique_ptr<os::HardwareButtons> platform)
    : FormScreen(context, std::u16string(skin_id::quick_record)),
      m_platform(std::move(platform)),
      m_confirmation(std::make_unique<ConfirmationDialog>(context, skin_id::form_question)) {}

QuickRecordScreen::~QuickRecordScreen() {
    if (m_list) m_list->set_adapter(nullptr);
}

void QuickRecordScreen::attach_nodes() {
    m_text = &node(skin_id::text);
    m_list = dynamic_cast<VListWidget*>(&node(skin_id::list));
    m_ok = &control(skin_id::btn_ok);
    // The background of the button icons: black when the skin gives none.
    m_icon_color = Color{0, 0, 0, 255};
    const Properties& skin = context().skin;
    if (const std::optional<SkinElement> screen = skin.find_element(element())) {
        if (const std::optional<SkinElement> colour = find_below(skin, *screen, skin_id::icon_color)) {
            m_icon_color = skin.get_color(*colour, u"color", m_icon_color);
        }
    }
    m_icons.clear();
    if (m_list) m_list->set_adapter(this);
    // Built with the screen: a skin without the question fails here, not at a tap.
    m_confirmation->build();
}

void QuickRecordScreen::on_rebuilt() {
    m_text->set_text(text_of(u"SelectButton"));
    if (m_list) m_list->reset(static_cast<int32_t>(m_buttons.size()));
}

void QuickRecordScreen::open() {
    build();
    m_buttons = m_platform->list_buttons();
    on_rebuilt();
    show(true);
}

void QuickRecordScreen::choose(size_t index) {
    if (index >= m_buttons.size()) return;
    const os::HardwareButton& button = m_buttons[index];
    if (!button.runs_something_else()) {
        apply_choice(index);
        return;
    }
    std::u16string question = lang::set_text_variable(text_of(u"Confirm_taking_key"), u"%key%", button.name);
    question = lang::set_text_variable(question, u"%shortcut%", button.shortcut);
    // The key is found again by its place when the answer comes: the list may have been read anew.
    const std::u16string location = button.location;
    m_confirmation->ask(question, [this, location] {
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons[i].location == location) apply_choice(i);
        }
    });
}

void QuickRecordScreen::apply_choice(size_t index) {
    os::choose_button(*m_platform, m_buttons, index);
    if (m_list) m_list->refresh_all();
}

std::u16string QuickRecordScreen::runs_text(const os::HardwareButton& button) const {
    if (button.assigned) return text_of(u"KeyRecords");
    if (button.shortcut.empty()) return text_of(u"KeyFree");
    return lang::set_text_variable(text_of(u"KeyRuns"), u"%shortcut%", button.shortcut);
}

void QuickRecordScreen::build_row(Widget& row, int32_t) { row.bind(context().skin, row_element); }

void QuickRecordScreen::bind_row(Widget& row, int32_t index) {
    const os::HardwareButton& button = m_buttons[static_cast<size_t>(index)];
    if (Widget* name = row.find_child(skin_id::name)) name->set_text(button.name);
    if (Widget* runs = row.find_child(skin_id::runs)) runs->set_text(runs_text(button));
    if (Widget* checked = row.find_child(skin_id::checked)) checked->set_visible_now(button.assigned);
    if (Widget* unchecked = row.find_child(skin_id::unchecked)) unchecked->set_visible_now(!button.assigned);
    if (auto* icon = dynamic_cast<ImageWidget*>(row.find_child(skin_id::icon))) {
        const Point size = icon->design_size();
        icon->set_picture(icon_picture(button.icon, {size.x, size.y}));
    }
    row.mark_redraw();
}

const PictureRef& QuickRecordScreen::icon_picture(std::u16string_view icon, Size size) {
    const screens::HardwareKeySign sign = screens::hardware_key_sign(icon);
    PictureRef& picture = m_icons[{static_cast<int>(sign), {size.width, size.height}}];
    if (!picture.is_valid()) picture = screens::make_hardware_key_icon(sign, m_icon_color, size);
    return picture;
}

void QuickRecordScreen::on_item_activated(VListWidget&, int32_t index) {
    if (index >= 0) choose(static_cast<size_t>(index));
}

void QuickRecordScreen::on_click(Widget* widget, const PointerEvent&) {
    if (widget == m_ok) close();
}

bool QuickRecordScreen::on_key(const KeyEvent& event) {
    if (event.pressed && event.fresh &&
        (event.code == key::Esc || event.code == key::Backspace || event.code == key::Enter)) {
        close();
        return true;
    }
    return FormScreen::on_key(event);
}
