#pragma once
#include <optional>
#include <string>

namespace pw {

// A serial pool or a record line kept in the line's database instead of a file is named
// "db:NAME"; any other text is a file's path ("./db:x" too). NAME is 1 to 63 printable ASCII
// characters without spaces: quotes and semicolons are just characters of a name.
std::optional<std::string> databaseName(const std::string& where);
// What is wrong with a db: name; empty when it is fine or names a file.
std::string storeNameProblem(const std::string& where);

} // namespace pw
