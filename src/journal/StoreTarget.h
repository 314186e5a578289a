#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lrf::journal {

// Where the records are forwarded: a PostgreSQL database, named by a
// connection URI "postgresql://user@host:port/dbname" (postgres:// too). Every
// part may be left out, libpq's defaults then apply (the user's name, the
// local socket, port 5432, a database named after the user); "?host=/dir"
// names the folder of a Unix socket instead of a host. Every other connection
// parameter libpq knows may follow ("?sslmode=verify-full&sslrootcert=/ca.pem&
// connect_timeout=5"). A password never stands in the URI: libpq takes it from
// PGPASSFILE or ~/.pgpass.
struct StoreTarget {
    std::string user;
    std::string host; // a host name, or a socket folder (begins with '/')
    int port = 0;     // 0: libpq's default
    std::string database;
    // The further libpq parameters, in the order given, each key once.
    std::vector<std::pair<std::string, std::string>> parameters{};

    // The URI as the operator may see it (it holds no password).
    std::string Display() const;
    bool operator==(const StoreTarget&) const = default;
};

// A store URI that cannot be used; what() says why, without the password.
class StoreUriError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Reads a store URI. Throws StoreUriError for another scheme, a password,
// a bad port, a parameter libpq does not know, a value libpq's connection
// string cannot carry (a ';' or a NUL) or a malformed percent escape.
StoreTarget ParseStoreUri(std::string_view uri);

} // namespace lrf::journal
