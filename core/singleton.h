#pragma once
// Base of the process-wide objects of which exactly one exists (the application, its window host,
// the document). A second one of a kind is a broken contract and ends the process.
#include "os/log.h"

template <typename T>
class Singleton {
public:
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

    // The living instance, or nullptr.
    static T* instance() { return static_cast<T*>(s_instance); }

protected:
    Singleton() {
        if (s_instance) os::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
        // Kept as the base: the derived object does not exist yet while this runs.
        s_instance = this;
    }
    ~Singleton() { s_instance = nullptr; }

private:
    static inline Singleton* s_instance = nullptr;
};
