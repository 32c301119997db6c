#include "screens/record_icons.h"

#include "os/path.h"
#include "screens/skin_lookups.h"
#include "skin/properties.h"

namespace screens {

RecordIcon record_icon_for(std::u16string_view path) {
    const std::u16string folder = os::file_name_of(os::strip_separator(os::folder_of(path)));
    const bool incoming = folder == u"Incoming";
    const bool outgoing = folder == u"Outgoing";
    if (os::is_under(path, os::my_documents_folder())) {
        return incoming   ? RecordIcon::MainMemoryIncoming
               : outgoing ? RecordIcon::MainMemoryOutgoing
                          : RecordIcon::MainMemory;
    }
    return incoming ? RecordIcon::CardIncoming : outgoing ? RecordIcon::CardOutgoing : RecordIcon::Card;
}

std::u16string_view record_icon_element(RecordIcon icon) {
    // In the order of RecordIcon.
    static constexpr std::u16string_view elements[] = {skin_id::main_memory,          skin_id::main_memory_incoming,
                                                       skin_id::main_memory_outgoing, skin_id::card,
                                                       skin_id::card_incoming,        skin_id::card_outgoing};
    return elements[static_cast<int>(icon)];
}

void RecordIcons::load(const Properties& skin) {
    for (int i = 0; i < 6; ++i) {
        auto element = skin.find_element(record_icon_element(static_cast<RecordIcon>(i)));
        m_pictures[i] = element ? skin.get_picture(*element, u"src", PictureRef{}) : PictureRef{};
    }
}

}  // namespace screens
