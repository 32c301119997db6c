#pragma once
// The quick-record options screen ("QuickRecord"): the device's programmable buttons, one row each
// ("HardwareKey": "name", "icon", "checked", "unchecked"), from which the user picks the one that
// starts a recording. Tapping a row assigns that button and takes every other back, or takes the
// checked one back; "btnOk" (or Enter, Escape, Backspace) closes the screen. Pushed as an overlay
// by the Settings command "QuickRecord", which the menu offers only when count_buttons() is above 0.
//
// A row's "runs" text (when the skin has one) says what the key runs now. A key that runs
// something this program did not put there is taken only after the user confirmed it.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "os/buttons/hardware_buttons.h"
#include "screens/dialogs.h"
#include "screens/form_screen.h"
#include "skin/color.h"
#include "skin/picture_ref.h"
#include "skin/vlist_widget.h"

class QuickRecordScreen final : public FormScreen, private VListAdapter {
public:
    // The buttons of this desktop, unless the caller hands a platform of its own.
    explicit QuickRecordScreen(ScreenContext& context,
                               std::unique_ptr<os::HardwareButtons> platform = os::make_hardware_buttons());
    ~QuickRecordScreen() override;

    size_t count_buttons() const { return m_platform->count_buttons(); }
    // Reads the buttons anew and shows the screen.
    void open();
    // The choice of a tapped row; every row is drawn again. A key that runs something else asks
    // first, and changes only when the user says yes.
    void choose(size_t index);
    // The question asked before taking a key; shown while it waits for the answer.
    ConfirmationDialog& confirmation() { return *m_confirmation; }
    // What a row's "runs" text says for the button.
    std::u16string runs_text(const os::HardwareButton& button) const;
    const std::vector<os::HardwareButton>& buttons() const { return m_buttons; }
    Color icon_color() const { return m_icon_color; }

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;
    void build_row(Widget& row, int32_t type) override;
    void bind_row(Widget& row, int32_t index) override;
    void on_item_activated(VListWidget& list, int32_t index) override;
    const PictureRef& icon_picture(std::u16string_view icon, Size size);
    void apply_choice(size_t index);

    std::unique_ptr<os::HardwareButtons> m_platform;
    std::unique_ptr<ConfirmationDialog> m_confirmation;
    std::vector<os::HardwareButton> m_buttons;
    Widget* m_text = nullptr;
    VListWidget* m_list = nullptr;
    Widget* m_ok = nullptr;
    Color m_icon_color{0, 0, 0, 255};
    // Drawn once per sign and size, for the colour of the skin in use.
    std::map<std::pair<int, std::pair<int32_t, int32_t>>, PictureRef> m_icons;
};
