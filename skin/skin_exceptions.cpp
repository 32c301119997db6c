#include "skin/skin_exceptions.h"

#include "os/text.h"

NodeNotFoundInSkin::NodeNotFoundInSkin(std::u16string id)
    : SkinException("element not found in skin: " + os::to_utf8(id)), m_id(std::move(id)) {}

NodeNotFound::NodeNotFound(std::u16string parent_id, std::u16string child_id)
    : SkinException("child " + os::to_utf8(child_id) + " not found under " + os::to_utf8(parent_id)),
      m_parent_id(std::move(parent_id)),
      m_child_id(std::move(child_id)) {}

NodeNotRegistered::NodeNotRegistered(std::u16string keyword)
    : SkinException("widget type not registered: " + os::to_utf8(keyword)), m_keyword(std::move(keyword)) {}

NodeAlreadyRegistered::NodeAlreadyRegistered(std::u16string keyword)
    : SkinException("widget type registered twice: " + os::to_utf8(keyword)), m_keyword(std::move(keyword)) {}
