#include "net_resolver.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "ora_error.h"
#include "service_store.h"
#include "text_codec.h"

namespace ocisim {
namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string strip_comments(const std::string& text) {
    std::string out;
    bool comment = false;
    for (char c : text) {
        if (c == '#') {
            comment = true;
        } else if (c == '\n') {
            comment = false;
        }
        if (!comment) {
            out += c;
        }
    }
    return out;
}

// Value of KEY=value inside a connect descriptor (case-insensitive key).
std::string descriptor_value(const std::string& desc, const std::string& key) {
    std::string upper = upper_ascii(desc);
    size_t pos = 0;
    while ((pos = upper.find(key, pos)) != std::string::npos) {
        size_t after = pos + key.size();
        bool word_start = pos == 0 || upper[pos - 1] == '(' ||
                          std::isspace(static_cast<unsigned char>(upper[pos - 1]));
        while (after < upper.size() && std::isspace(static_cast<unsigned char>(upper[after]))) {
            ++after;
        }
        if (word_start && after < upper.size() && upper[after] == '=') {
            size_t b = after + 1;
            size_t e = desc.find(')', b);
            std::string v = desc.substr(b, e == std::string::npos ? std::string::npos : e - b);
            size_t f = v.find_first_not_of(" \t\r\n");
            size_t l = v.find_last_not_of(" \t\r\n");
            return f == std::string::npos ? "" : v.substr(f, l - f + 1);
        }
        pos = after;
    }
    return "";
}

ConnectTarget from_descriptor(const std::string& desc) {
    ConnectTarget t;
    t.host = descriptor_value(desc, "HOST");
    std::string port = descriptor_value(desc, "PORT");
    t.service = descriptor_value(desc, "SERVICE_NAME");
    if (t.service.empty()) {
        t.service = descriptor_value(desc, "SID");
    }
    if (t.host.empty()) {
        throw ora(12154);
    }
    if (!port.empty()) {
        t.port = std::atoi(port.c_str());
    }
    return t;
}

// The descriptor of a net service name, or empty.
std::string tns_lookup(std::string_view alias) {
    std::string text = strip_comments(read_file(ocisim_home() + "/tnsnames.ora"));
    std::string want = upper_ascii(alias);
    size_t i = 0;
    while (i < text.size()) {
        size_t eq = text.find('=', i);
        if (eq == std::string::npos) {
            break;
        }
        std::string names = upper_ascii(text.substr(i, eq - i));
        size_t open = text.find('(', eq);
        if (open == std::string::npos) {
            break;
        }
        int depth = 0;
        size_t j = open;
        for (; j < text.size(); ++j) {
            depth += text[j] == '(' ? 1 : text[j] == ')' ? -1 : 0;
            if (depth == 0) {
                break;
            }
        }
        std::stringstream ns(names);
        std::string name;
        while (std::getline(ns, name, ',')) {
            size_t f = name.find_first_not_of(" \t\r\n");
            size_t l = name.find_last_not_of(" \t\r\n");
            if (f != std::string::npos && name.substr(f, l - f + 1) == want) {
                return text.substr(open, j - open + 1);
            }
        }
        i = j + 1;
    }
    return "";
}

bool is_local_host(const std::string& host) {
    std::string h = upper_ascii(host);
    if (h == "LOCALHOST" || h == "127.0.0.1" || h == "::1" || h == "LOCALHOST.LOCALDOMAIN") {
        return true;
    }
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && h == upper_ascii(name);
}

}  // namespace

ConnectTarget resolve_connect_identifier(std::string_view dblink) {
    std::string text(dblink);
    size_t f = text.find_first_not_of(" \t\r\n");
    if (f == std::string::npos) {
        throw ora(12154);
    }
    text = text.substr(f, text.find_last_not_of(" \t\r\n") - f + 1);
    if (text[0] == '(') {
        return from_descriptor(text);
    }
    if (text.find('/') != std::string::npos || text.find(':') != std::string::npos) {
        // Easy connect: [//]host[:port][/service]
        if (text.compare(0, 2, "//") == 0) {
            text = text.substr(2);
        }
        ConnectTarget t;
        size_t slash = text.find('/');
        std::string hostport = text.substr(0, slash);
        if (slash != std::string::npos) {
            t.service = text.substr(slash + 1);
        }
        size_t colon = hostport.rfind(':');
        t.host = hostport.substr(0, colon);
        if (colon != std::string::npos) {
            std::string port = hostport.substr(colon + 1);
            if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) {
                throw ora(12154);
            }
            t.port = std::atoi(port.c_str());
        }
        if (t.host.empty()) {
            throw ora(12154);
        }
        return t;
    }
    std::string desc = tns_lookup(text);
    if (desc.empty()) {
        throw ora(12154);
    }
    return from_descriptor(desc);
}

std::string locate_service(const ConnectTarget& target) {
    struct Listener {
        std::string host;
        int port;
    };
    std::vector<Listener> listeners;
    std::string path = ocisim_home() + "/listener.ora";
    if (std::filesystem::exists(path)) {
        std::stringstream in(strip_comments(read_file(path)));
        std::string host;
        int port = 0;
        while (in >> host >> port) {
            listeners.push_back({host, port});
        }
    } else {
        listeners.push_back({"localhost", 1521});
    }
    auto same_host = [](const std::string& a, const std::string& b) {
        return upper_ascii(a) == upper_ascii(b) || (is_local_host(a) && is_local_host(b));
    };
    bool host_known = is_local_host(target.host);
    bool listening = false;
    for (const Listener& l : listeners) {
        if (same_host(l.host, target.host)) {
            host_known = true;
            listening = listening || l.port == target.port;
        }
    }
    if (!host_known) {
        throw ora(12545);
    }
    if (!listening) {
        throw ora(12541);
    }
    std::string service = target.service;
    size_t dot = service.find('.');  // a domain-qualified service name
    if (service.empty()) {
        throw ora(12514);
    }
    std::string file = service_path(service);
    if (!std::filesystem::exists(file) && dot != std::string::npos) {
        file = service_path(service.substr(0, dot));
    }
    if (!std::filesystem::exists(file)) {
        throw ora(12514);
    }
    return file;
}

}  // namespace ocisim
