#pragma once
// The base of the program's screens and dialogs: a screen bound to one top-level skin element. It
// builds its widget tree from the skin, rebuilds it when the skin is reloaded (a language change
// looks every text up anew), and shows and closes itself on the screen stack.
//
//     class ErrorDialog : public FormScreen {
//         void attach_nodes() override { m_text = &node(skin_id::text); control(skin_id::btn_close); }
//         void on_click(Widget* widget, const PointerEvent&) override { close(); }
//     };
#include <string>
#include <string_view>

#include "screens/screen_context.h"
#include "skin/properties.h"
#include "skin/screen.h"

class FormScreen : public Screen, public ReloadListener {
public:
    FormScreen(ScreenContext& context, std::u16string element);
    ~FormScreen() override;
    FormScreen(const FormScreen&) = delete;
    FormScreen& operator=(const FormScreen&) = delete;

    // Builds the widget tree; throws NodeNotFound when the skin lacks the element or a node that
    // attach_nodes requires. Screens are built once the main skin is loaded.
    void build();
    void on_reload_skin(Properties& properties) override;

    // Pushes the screen (again) onto the stack, as an overlay or as a full screen.
    void show(bool overlay);
    // Removes it from the stack; nothing happens when it is not there.
    void close();
    bool is_shown() const;

    const std::u16string& element() const { return m_element; }
    ScreenContext& context() const { return m_context; }

    // Draws the screen, then a ring around the control the keyboard acts on, if any.
    void draw(RenderSurface& surface, Point origin) override;
    // The control that Enter would press, drawn with a ring; none by default.
    virtual Widget* key_focus() const { return nullptr; }

    // The ring: light against every surface of the dark skin (at least 3:1 beside it), thick
    // enough to see at a glance.
    static constexpr Color focus_ring_color{140, 195, 255, 255};
    static constexpr int32_t focus_ring_width = 3;

protected:
    // Looks up the nodes after every build. Hidden-at-start nodes are hidden here as well.
    virtual void attach_nodes() = 0;
    // After a rebuild by a skin reload: the screen shows its state again.
    virtual void on_rebuilt() {}

    // A required node (throws NodeNotFound when missing); control() also sends its clicks, press
    // changes and drags to this screen.
    Widget& node(std::u16string_view id);
    Widget& control(std::u16string_view id);
    // The same for an optional node: null when the skin lacks it.
    Widget* optional_node(std::u16string_view id);
    Widget* optional_control(std::u16string_view id);
    // The language text of a key (the key itself when the language has none).
    std::u16string text_of(std::u16string_view key) const;

private:
    ScreenContext& m_context;
    std::u16string m_element;
    bool m_built = false;
};
