#pragma once
// tk_converter: the base of every converter. It is thread work (a converter runs on a worker
// thread), names the source and the destination, and owns the choice of log file.

#include <atomic>
#include <string>

#include "tk/tk_thread.hpp"

class tk_converter : public tk_thread_functor {
  public:
    tk_converter() = default;
    ~tk_converter() override = default;
    tk_converter(const tk_converter&) = delete;
    tk_converter& operator=(const tk_converter&) = delete;

    // Keeps the flag in the converter's second flag and answers it.
    virtual bool set_flag(bool b_flag);

    // Switches logging to the file L (nothing changes for an empty L). Raises the fatal
    // "Logfile name specifies an existing read-only file." when L exists and cannot be opened
    // for reading and writing, and "Logfile path does not exist.\nPlease verify the correct path
    // was given." when L's folder is missing.
    void set_logfile(const std::string& path);

    // Set once, as the last act of a run; read by the window thread without a lock.
    std::atomic<bool> finished{false};
    bool b_flag2 = false;
    std::u16string src;   // the source database: the DBF folder
    std::u16string dest;  // the destination database: the Oracle service or database name
    std::string logfile;
};
