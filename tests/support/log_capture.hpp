#pragma once
// Sends the trace log of one test to a scratch file and reads back what was written.

#include <gtest/gtest.h>

#include <string>

#include "tk/tk_log.hpp"
#include "tk/tk_test_folder.hpp"

class log_capture {
  public:
    explicit log_capture(int threshold = 1) {
        tk_log::get().reset();
        path_ = folder_.file("trace.log");
        tk_log::get().set_threshold(threshold);
        tk_log::get().set_path(path_);
    }
    ~log_capture() { tk_log::get().reset(); }
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    std::string text() const { return tk_test_folder::read(path_); }
    bool has_line(const std::string& line) const {
        return text().find(line + "\r\n") != std::string::npos;
    }

  private:
    tk_test_folder folder_;
    std::string path_;
};
