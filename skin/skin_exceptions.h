#pragma once
// A skin that lacks what a screen needs. These are thrown and caught on the GUI thread only.
#include <stdexcept>
#include <string>

class SkinException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A screen's own element is not in the skin's directory.
class NodeNotFoundInSkin : public SkinException {
public:
    explicit NodeNotFoundInSkin(std::u16string id);
    const std::u16string& id() const { return m_id; }

private:
    std::u16string m_id;
};

// A required child is not under a widget.
class NodeNotFound : public SkinException {
public:
    NodeNotFound(std::u16string parent_id, std::u16string child_id);
    const std::u16string& parent_id() const { return m_parent_id; }
    const std::u16string& child_id() const { return m_child_id; }

private:
    std::u16string m_parent_id;
    std::u16string m_child_id;
};

// An element's "type" has no factory.
class NodeNotRegistered : public SkinException {
public:
    explicit NodeNotRegistered(std::u16string keyword);
    const std::u16string& keyword() const { return m_keyword; }

private:
    std::u16string m_keyword;
};

// A keyword registered a second time.
class NodeAlreadyRegistered : public SkinException {
public:
    explicit NodeAlreadyRegistered(std::u16string keyword);
    const std::u16string& keyword() const { return m_keyword; }

private:
    std::u16string m_keyword;
};
