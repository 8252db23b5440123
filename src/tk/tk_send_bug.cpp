#include "tk/tk_send_bug.hpp"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

#include "tk/tk_log.hpp"

extern char** environ;

namespace {

// The mail program, looked up in PATH the way the shell would; empty when absent.
std::string find_mail_program() {
    const char* path = getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        std::string candidate(folder.empty() ? std::string_view(".") : folder);
        candidate.append("/xdg-email");
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        folders.remove_prefix(colon + 1);
    }
}

std::string note_text() {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char note[64];
    snprintf(note, sizeof note, "%d/%d/%d %d:%d", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min);
    return note;
}

}  // namespace

int tk_send_bug(const std::string& subject, const std::string& attachment_path) {
    TK_LOG(2, "tk_send_bug(%s|%s)", subject.c_str(), attachment_path.c_str());
    const std::string program = find_mail_program();
    if (program.empty()) {
        TK_LOG(2, "Failed to locate MAPI32.DLL");
        return -1;
    }
    const char* configured = getenv("BRIXEL_SUPPORT_MAIL");
    const std::string recipient =
        configured != nullptr && *configured != 0 ? configured : tk_default_support_mail;
    std::string full_subject = "Bug report on " + subject;
    std::string body = note_text();

    std::vector<std::string> arguments = {program,      "--utf8", "--subject",
                                          full_subject, "--body", body};
    if (!attachment_path.empty()) {
        arguments.push_back("--attach");
        arguments.push_back(attachment_path);
    }
    arguments.push_back(recipient);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int result = -1;
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        pid_t waited = 0;
        do {
            waited = waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        if (waited == child && WIFEXITED(status)) {
            result = WEXITSTATUS(status);
        }
    }
    TK_LOG(2, "lpfnMAPISendMail returns %d", result);
    return result;
}
