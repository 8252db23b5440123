#pragma once
// tk_serializer: where a converter keeps its settings between runs: one key of the per-user
// settings store, opened (and created) on demand.

#include <string>

#include "tk/tk_reg_key.hpp"

class tk_serializer {
  public:
    explicit tk_serializer(std::string path) : key(path), key_path(std::move(path)) {}
    virtual ~tk_serializer() = default;
    tk_serializer(const tk_serializer&) = delete;
    tk_serializer& operator=(const tk_serializer&) = delete;

    tk_reg_key key;
    const std::string key_path;
};
