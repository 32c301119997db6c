#include "app/key_translation.h"

#include <SDL.h>

#include "skin/key_event.h"

int32_t translate_key(int32_t platform_key) {
    if (platform_key >= SDLK_a && platform_key <= SDLK_z) return key::A + (platform_key - SDLK_a);
    if (platform_key >= SDLK_0 && platform_key <= SDLK_9) return key::Digit0 + (platform_key - SDLK_0);
    if (platform_key >= SDLK_KP_1 && platform_key <= SDLK_KP_9) return key::Digit0 + 1 + (platform_key - SDLK_KP_1);
    switch (platform_key) {
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return key::Shift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return key::Ctrl;
        case SDLK_LALT:
        case SDLK_RALT:
            return key::Alt;
        case SDLK_LEFT:
            return key::Left;
        case SDLK_RIGHT:
            return key::Right;
        case SDLK_UP:
            return key::Up;
        case SDLK_DOWN:
            return key::Down;
        case SDLK_RETURN:
        case SDLK_RETURN2:
        case SDLK_KP_ENTER:
            return key::Enter;
        case SDLK_SPACE:
            return key::Space;
        case SDLK_BACKSPACE:
            return key::Backspace;
        // Escape and a phone's back key cancel; Backspace edits a text.
        case SDLK_ESCAPE:
        case SDLK_AC_BACK:
            return key::Esc;
        case SDLK_DELETE:
            return key::Del;
        case SDLK_INSERT:
            return key::Insert;
        case SDLK_HOME:
            return key::Home;
        case SDLK_END:
            return key::End;
        case SDLK_PAGEDOWN:
            return key::PageDown;
        case SDLK_PAGEUP:
            return key::PageUp;
        case SDLK_TAB:
            return key::Tab;
        case SDLK_APPLICATION:
        case SDLK_MENU:
            return key::ContextMenu;
        case SDLK_KP_0:
            return key::Digit0;
        case SDLK_F8:
        case SDLK_ASTERISK:
        case SDLK_KP_MULTIPLY:
            return key::Star;
        case SDLK_F9:
        case SDLK_HASH:
            return key::Hash;
        case SDLK_F3:
        case SDLK_AUDIOPLAY:  // a headset's button answers, as the talk key does
            return key::CallMake;
        case SDLK_F4:
        case SDLK_AUDIOSTOP:
            return key::CallEnd;
        case SDLK_F1:
            return key::SoftLeft;
        case SDLK_F2:
            return key::SoftRight;
        case SDLK_F6:
        case SDLK_VOLUMEUP:
            return key::VolumeUp;
        case SDLK_F7:
        case SDLK_VOLUMEDOWN:
            return key::VolumeDown;
        default:
            return key::None;
    }
}
