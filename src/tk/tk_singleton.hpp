#pragma once
// One live instance per class T, registered by construction and reached through instance().
// A second construction, or instance() with none alive, is an internal error.

#include "tk/tk_exception.hpp"

template <class T>
class tk_singleton {
  public:
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    static T& instance() {
        TK_ASSERT(instance_ != nullptr, "tk_singl.cpp");
        return *static_cast<T*>(instance_);
    }
    static bool exists() noexcept { return instance_ != nullptr; }

  protected:
    tk_singleton() {
        TK_ASSERT(instance_ == nullptr, "tk_singl.cpp");
        // The base pointer is kept: T is not constructed yet, so a downcast here would be
        // undefined; instance() casts once T exists.
        instance_ = this;
    }
    virtual ~tk_singleton() { instance_ = nullptr; }

  private:
    static inline tk_singleton* instance_ = nullptr;
};
