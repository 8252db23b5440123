// ocisim-admin: creates services, users and net service names for the OCI stand-in.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "service_store.h"
#include "text_codec.h"

using namespace ocisim;

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: ocisim-admin COMMAND ...   (files live in $OCISIM_HOME: %s)\n"
        "  create-service SERVICE [--release R] [--charset CS] [--length-semantics BYTE|CHAR]\n"
        "      R: %s (default 19c); CS: AL32UTF8 (default), UTF8, WE8MSWIN1252, EE8MSWIN1250,\n"
        "      CL8MSWIN1251, EL8MSWIN1253, TR8MSWIN1254, WE8ISO8859P1, WE8ISO8859P15,\n"
        "      EE8ISO8859P2, CL8ISO8859P5, US7ASCII\n"
        "  create-user SERVICE USER PASSWORD [--no-privileges]\n"
        "  set-password SERVICE USER PASSWORD\n"
        "  lock-user SERVICE USER | unlock-user SERVICE USER\n"
        "  grant SERVICE USER PRIVILEGE | revoke SERVICE USER PRIVILEGE\n"
        "      PRIVILEGE: e.g. \"CREATE SESSION\", \"CREATE TABLE\", \"CREATE SEQUENCE\"\n"
        "  add-net-service ALIAS HOST PORT SERVICE   (appends to tnsnames.ora)\n"
        "  add-listener HOST PORT                    (appends to listener.ora)\n"
        "  show SERVICE\n",
        ocisim_home().c_str(), known_releases().c_str());
    return 2;
}

std::string option(std::vector<std::string>& args, const std::string& name,
                   const std::string& fallback) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string v = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            return v;
        }
    }
    return fallback;
}

bool flag(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

SqliteDb open_service(const std::string& service) {
    std::string path = service_path(service);
    if (!std::filesystem::exists(path)) {
        throw std::runtime_error("no service " + service + " (" + path + ")");
    }
    return ServiceStore::open(path);
}

// User names follow the server's rule: unquoted names are upper-case.
std::string user_name(const std::string& name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        return name.substr(1, name.size() - 2);
    }
    return upper_ascii(name);
}

int run(std::vector<std::string> args) {
    if (args.empty()) {
        return usage();
    }
    std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "create-service" && !args.empty()) {
        std::string release = option(args, "--release", "19c");
        std::string charset = upper_ascii(option(args, "--charset", "AL32UTF8"));
        std::string semantics = upper_ascii(option(args, "--length-semantics", "BYTE"));
        ServiceStore::create(args[0], release, charset, semantics);
        std::printf("created service %s (%s, %s) in %s\n", upper_ascii(args[0]).c_str(),
                    release.c_str(), charset.c_str(), service_path(args[0]).c_str());
        return 0;
    }
    if (cmd == "create-user" && args.size() >= 3) {
        bool bare = flag(args, "--no-privileges");
        SqliteDb db = open_service(args[0]);
        ServiceStore::create_user(db, user_name(args[1]), args[2], !bare);
        return 0;
    }
    if (cmd == "set-password" && args.size() == 3) {
        SqliteDb db = open_service(args[0]);
        ServiceStore::set_password(db, user_name(args[1]), args[2]);
        return 0;
    }
    if ((cmd == "lock-user" || cmd == "unlock-user") && args.size() == 2) {
        SqliteDb db = open_service(args[0]);
        ServiceStore::set_locked(db, user_name(args[1]), cmd == "lock-user");
        return 0;
    }
    if ((cmd == "grant" || cmd == "revoke") && args.size() == 3) {
        SqliteDb db = open_service(args[0]);
        if (cmd == "grant") {
            ServiceStore::grant(db, user_name(args[1]), args[2]);
        } else {
            ServiceStore::revoke(db, user_name(args[1]), args[2]);
        }
        return 0;
    }
    if (cmd == "add-net-service" && args.size() == 4) {
        std::filesystem::create_directories(ocisim_home());
        std::ofstream(ocisim_home() + "/tnsnames.ora", std::ios::app)
            << args[0] << " =\n  (DESCRIPTION =\n    (ADDRESS = (PROTOCOL = TCP)(HOST = " << args[1]
            << ")(PORT = " << args[2] << "))\n    (CONNECT_DATA = (SERVICE_NAME = " << args[3]
            << "))\n  )\n";
        return 0;
    }
    if (cmd == "add-listener" && args.size() == 2) {
        std::filesystem::create_directories(ocisim_home());
        std::string path = ocisim_home() + "/listener.ora";
        bool fresh = !std::filesystem::exists(path);
        std::ofstream out(path, std::ios::app);
        if (fresh) {
            // The listener that runs when no file exists stays.
            out << "# host port\nlocalhost 1521\n";
        }
        out << args[0] << " " << args[1] << "\n";
        return 0;
    }
    if (cmd == "show" && args.size() == 1) {
        SqliteDb db = open_service(args[0]);
        ServiceSettings s = ServiceStore::settings(db);
        std::printf("service %s\nrelease %s\nbanner %s\ncharset %s\nncharset %s\n", s.name.c_str(),
                    s.release.name.c_str(), s.release.banner.c_str(), s.charset.c_str(),
                    s.ncharset.c_str());
        SqlStmt st = db.prepare("SELECT name, locked FROM ocisim_users ORDER BY name");
        while (st.step()) {
            std::printf("user %s%s\n", st.text(0).c_str(), st.int64(1) != 0 ? " (locked)" : "");
        }
        return 0;
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ocisim-admin: %s\n", e.what());
        return 1;
    }
}
