#pragma once
// The bug report of the internal-error dialog: hands a prepared mail (subject, note with the
// date and time, the support address, the log file attached) to the desktop's mail program
// through xdg-email. The support address comes from the environment variable
// BRIXEL_SUPPORT_MAIL, else tk_default_support_mail.

#include <string>

inline constexpr const char* tk_default_support_mail = "support@quillonworks.com";

// Returns the mail program's exit status, or -1 when it could not be started or is missing.
// The result is also logged; callers normally ignore it.
int tk_send_bug(const std::string& subject, const std::string& attachment_path);
