#pragma once
// Caller identification over the contacts store: a folder of vCard files ("*.vcf", "*.vcard", in
// the folder and one level of subfolders, read in name order).
//
// The folder is $QUILLON_CONTACTS; else "kpeoplevcard" under $QUILLON_ROOT when that is set (tests
// stay hermetic); else $XDG_DATA_HOME/kpeoplevcard, by default ~/.local/share/kpeoplevcard, where
// Linux phone shells keep contacts. A missing folder is a device without a contacts store: the
// first lookup logs "find_contact_by_phone: library not valid", and no later lookup looks for the
// folder again until the program restarts.
//
// Use, for every recording (all on the GUI thread):
//
//     ContactsSession session;
//     ContactRecord record;
//     std::vector<uint8_t> picture;
//     if (find_contact_by_phone(session, number, record)) picture = contact_picture(session, record.object_id);
//     if (picture.size() > 7) tag.set_picture(picture);  // guess_picture_mime(picture) names its type
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The largest picture that goes into a tag; a larger one is left out.
inline constexpr size_t contact_picture_max_bytes = 200000;

struct ContactRecord {
    uint32_t object_id = 0;  // valid within the session that found it
    std::u16string name;     // the card's formatted name, cut to 255 units
    std::u16string number;   // the card's number that matched
};

// One lookup's connection to the contacts store; cheap to create, holds what a search found.
class ContactsSession {
public:
    ContactsSession();
    ContactsSession(const ContactsSession&) = delete;
    ContactsSession& operator=(const ContactsSession&) = delete;

    // The folder this session reads.
    const std::u16string& folder() const { return m_folder; }

    struct Match {
        std::string file;
        long card_index = 0;
    };
    // The match behind an object id; nullptr for an id this session did not hand out.
    const Match* match(uint32_t object_id) const;
    uint32_t add_match(Match match);

private:
    std::u16string m_folder;
    std::vector<Match> m_matches;
};

// Finds the card with the closest TEL to number (phone_number.h: an exact match before the longest
// common ending) and reads its name; the first of equally close cards of one name (files in name
// order, cards in file order). No card when two differently named cards are equally close. False, with a log line, when
// the store is missing
// ("find_contact_by_phone: library not valid"), cannot be listed ("find_contact_by_phone: no
// function") or holds no such card ("find_contact_by_phone: bad result").
bool find_contact_by_phone(ContactsSession& session, std::u16string_view number, ContactRecord& record);

// The contact's inline picture; empty when it has none, it is larger than
// contact_picture_max_bytes, or it cannot be read or decoded.
std::vector<uint8_t> contact_picture(ContactsSession& session, uint32_t object_id);

// "image/jpeg", "image/png", "image/gif" from the first bytes, else "image/xyz".
std::u16string guess_picture_mime(const std::vector<uint8_t>& picture);

// The folder of the contacts store, as a new session would read it.
std::u16string contacts_folder();
// Looks for the store again at the next lookup, as a restart would.
void forget_contacts_store();
