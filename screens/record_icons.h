#pragma once
// The six row icons of a recording, chosen by where it lies (main memory or a card) and by its
// subfolder ("Incoming", "Outgoing" or none). The main list, the recording screen and the
// playback screen all show the same icon for the same file.
#include <string_view>

#include "skin/picture_ref.h"

class Properties;

namespace screens {

enum class RecordIcon { MainMemory, MainMemoryIncoming, MainMemoryOutgoing, Card, CardIncoming, CardOutgoing };

// By the path alone: under "%my_documents%" is main memory, anything else a card; the folder the
// file lies in names the direction.
RecordIcon record_icon_for(std::u16string_view path);
// The skin element that carries the icon's picture ("main_memory_incoming", ...).
std::u16string_view record_icon_element(RecordIcon icon);

// The six pictures, read once from a loaded skin (an invalid picture where the skin has none).
class RecordIcons {
public:
    void load(const Properties& skin);
    const PictureRef& picture(RecordIcon icon) const { return m_pictures[static_cast<int>(icon)]; }
    const PictureRef& picture_for(std::u16string_view path) const { return picture(record_icon_for(path)); }

private:
    PictureRef m_pictures[6];
};

}  // namespace screens
