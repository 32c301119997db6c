#pragma once
// The menu machinery every screen shares: a skinned pop-up list ("Menu": "panel", an optional
// "caption" and the vlist "vlist") fed by a provider that answers commands. Choosing an item sends
// its command back to the provider, which shows a submenu, carries the command out, or both.
//
//     menu.set_provider(this);
//     menu.open(u"MainMenu", u"", true);   // screens open their menus with force set
#include <string>
#include <string_view>
#include <vector>

#include "screens/form_screen.h"
#include "skin/vlist_widget.h"

struct MenuItem {
    // What the provider receives when the item is chosen.
    std::u16string command;
    // Empty: the row shows the language text of the command.
    std::u16string text = {};
    // The skin node drawing the row; empty for "MenuElement". A disabled item uses this name with
    // "Disabled" appended.
    std::u16string node = {};
    bool enabled = true;
    bool separator = false;
    bool checked = false;
};

class MenuProvider {
public:
    virtual ~MenuProvider() = default;
    // Appends the items of the submenu named by command, or carries the command out and appends
    // nothing (which closes the menu), or both by calling fill again with the submenu to show next.
    virtual void fill(std::u16string_view command, std::vector<MenuItem>& items) = 0;
    // The language key of the heading over what a command shows, when that is another menu's (a
    // setting chosen shows the Settings again); empty: the chosen row's own text.
    virtual std::u16string_view heading_of(std::u16string_view /*command*/) const { return {}; }
};

class Menu final : public FormScreen, private VListAdapter {
public:
    // The command of the row that holds the four buttons "About", "Help", "Minimize", "Exit".
    static constexpr std::u16string_view four_buttons_command = u"Magic4Buttons";

    explicit Menu(ScreenContext& context);
    ~Menu() override;

    void set_provider(MenuProvider* provider) { m_provider = provider; }
    MenuProvider* provider() const { return m_provider; }
    // Asks the provider for the items of command and shows them; force pushes the menu as a new
    // overlay, otherwise an open menu changes in place (only redrawing its rows when the commands
    // are the same as before). No items closes the menu.
    void open(std::u16string_view command, std::u16string_view caption, bool force);
    // Chooses item `index` as a tap would (nothing for a disabled item).
    void choose(size_t index);
    const std::vector<MenuItem>& items() const { return m_items; }
    const std::u16string& caption() const { return m_caption; }

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    // The four-button row's button with the ring, while that row is selected.
    Widget* key_focus() const override;

private:
    Widget* four_button_focus() const;
    void attach_nodes() override;
    void on_rebuilt() override;
    int32_t row_type(int32_t index) override;
    void build_row(Widget& row, int32_t type) override;
    void bind_row(Widget& row, int32_t index) override;
    void on_item_activated(VListWidget& list, int32_t index) override;
    // The skin node of an item's row ("Disabled" appended for a disabled item).
    std::u16string row_node(const MenuItem& item) const;

    MenuProvider* m_provider = nullptr;
    std::vector<MenuItem> m_items;
    std::u16string m_caption;
    Widget* m_panel = nullptr;
    Widget* m_caption_node = nullptr;
    VListWidget* m_list = nullptr;
    // The row node of each row type, in the order the types were first asked for.
    std::vector<std::u16string> m_row_nodes;
    // Which of About, Help, Minimize and Exit the keyboard is on.
    size_t m_button_focus = 0;
};
