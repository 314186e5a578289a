#include "StoreTarget.h"

#include "HexText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace lrf::journal {

namespace {

std::string Decoded(std::string_view text, const char* what) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low < 0)
            throw StoreUriError(std::string("the ") + what +
                                " of the store address has a bad "
                                "%-escape");
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string Encoded(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || c == '%' || c == '@' || c == ':' || c == '/' || c == '?' || c == '&' ||
            c == '=' || u >= 0x7f) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int ReadPort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 1 ||
        port > 65535)
        throw StoreUriError("the port of the store address is not a number from 1 to 65535");
    return port;
}

// The connection parameters of libpq that an address may carry beyond user,
// host, port and database. A password (password, sslpassword) never does.
constexpr std::array<std::string_view, 35> kLibpqParameters{
    "application_name",
    "channel_binding",
    "client_encoding",
    "connect_timeout",
    "fallback_application_name",
    "gssdelegation",
    "gssencmode",
    "gsslib",
    "hostaddr",
    "keepalives",
    "keepalives_count",
    "keepalives_idle",
    "keepalives_interval",
    "krbsrvname",
    "load_balance_hosts",
    "options",
    "passfile",
    "replication",
    "require_auth",
    "requirepeer",
    "requiressl",
    "service",
    "ssl_max_protocol_version",
    "ssl_min_protocol_version",
    "sslcert",
    "sslcertmode",
    "sslcompression",
    "sslcrl",
    "sslcrldir",
    "sslkey",
    "sslmode",
    "sslrootcert",
    "sslsni",
    "target_session_attrs",
    "tcp_user_timeout",
};

const char* const kNoPassword = "the store address must not hold a password: put it into "
                                "~/.pgpass or the file that PGPASSFILE names";

} // namespace

std::string StoreTarget::Display() const {
    std::string text = "postgresql://";
    if (!user.empty())
        text += Encoded(user) + '@';
    const bool socket = host.starts_with('/');
    if (!socket)
        text += host;
    if (port != 0)
        text += ':' + std::to_string(port);
    text += '/' + Encoded(database);
    char separator = '?';
    if (socket) {
        text += "?host=" + host;
        separator = '&';
    }
    for (const auto& [key, value] : parameters) {
        text += separator + key + '=' + Encoded(value);
        separator = '&';
    }
    return text;
}

StoreTarget ParseStoreUri(std::string_view uri) {
    std::string_view rest;
    for (const std::string_view scheme : {"postgresql://", "postgres://"})
        if (uri.starts_with(scheme))
            rest = uri.substr(scheme.size());
    if (rest.data() == nullptr)
        throw StoreUriError("the store address must begin with postgresql://");

    StoreTarget target;
    std::string_view query;
    if (const auto mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }
    std::string_view authority = rest.substr(0, rest.find('/'));
    if (authority.size() < rest.size())
        target.database = Decoded(rest.substr(authority.size() + 1), "database name");
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        if (userInfo.find(':') != std::string_view::npos)
            throw StoreUriError(kNoPassword);
        target.user = Decoded(userInfo, "user name");
        authority = authority.substr(at + 1);
    }
    if (const auto colon = authority.rfind(':');
        colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        target.port = ReadPort(authority.substr(colon + 1));
        authority = authority.substr(0, colon);
    }
    target.host = Decoded(authority, "host name");

    while (!query.empty()) {
        const std::string_view pair = query.substr(0, query.find('&'));
        query = pair.size() < query.size() ? query.substr(pair.size() + 1) : std::string_view{};
        const std::string_view key = pair.substr(0, pair.find('='));
        const std::string value =
            Decoded(key.size() < pair.size() ? pair.substr(key.size() + 1) : "", "parameter");
        if (key == "password" || key == "sslpassword")
            throw StoreUriError(kNoPassword);
        if (key == "host") {
            target.host = value;
        } else if (key == "port") {
            target.port = ReadPort(value);
        } else if (key == "user") {
            target.user = value;
        } else if (key == "dbname") {
            target.database = value;
        } else if (std::find(kLibpqParameters.begin(), kLibpqParameters.end(), key) !=
                   kLibpqParameters.end()) {
            // The driver hands the parameters to libpq separated by ';'.
            if (value.find_first_of(std::string_view(";\0", 2)) != std::string::npos)
                throw StoreUriError("the parameter " + std::string(key) +
                                    " of the store address holds a ';' or a NUL character");
            const auto same = std::find_if(target.parameters.begin(), target.parameters.end(),
                                           [key](const auto& p) { return p.first == key; });
            if (same != target.parameters.end())
                same->second = value;
            else
                target.parameters.emplace_back(key, value);
        } else {
            throw StoreUriError("the store address has a parameter libpq does not know: " +
                                std::string(key));
        }
    }
    return target;
}

} // namespace lrf::journal
